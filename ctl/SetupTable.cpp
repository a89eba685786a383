#include "ctl/SetupTable.h"

#include "audit/AuditJson.h"
#include "ctl/Report.h"
#include "model/PrinterData.h"
#include "model/SetupPages.h"

namespace ctl {

namespace {

const char* KindName(uint8_t kind) {
    switch (kind) {
    case PROT_TYPE_LIST:
        return "list";
    case PROT_TYPE_NUMERIC:
        return "numeric";
    case PROT_TYPE_DATETIME:
        return "datetime";
    case PROT_TYPE_STRING:
        return "string";
    case PROT_TYPE_CHECKBOXES:
        return "checkboxes";
    default:
        return "unknown";
    }
}

} // namespace

nlohmann::json IdentityJson(const PrinterData& data) {
    nlohmann::json identity = {{"gsi", nullptr}, {"release", nullptr}, {"protocol_version", nullptr}};
    if (data.GetGSI())
        identity["gsi"] = audit::FormatGsi(*data.GetGSI());
    if (data.GetFWRel())
        identity["release"] = *data.GetFWRel();
    if (const ProtocolVersion* version = data.GetProtocolVersion())
        identity["protocol_version"] = version->Version;
    return identity;
}

nlohmann::json SetupJson(const PrinterData& data) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& item : data.GetSetupItems()) {
        const bool confidential = item->IsConfidential();
        const std::string value = item->UIValue();
        const std::optional<std::string> fallback = item->UIDefaultText();
        const int page = setup_pages::PageOf(static_cast<int64_t>(item->GetId()));
        rows.push_back(
            {{"id", item->GetId()},
             {"page", page < 0 ? nlohmann::json(nullptr) : nlohmann::json(setup_pages::PageName(page))},
             {"kind", KindName(item->GetType())},
             {"description", item->GetDescription()},
             {"value", Shown(value, confidential)},
             {"default", fallback ? nlohmann::json(Shown(*fallback, confidential)) : nlohmann::json(nullptr)},
             {"differs_from_default", fallback.has_value() && *fallback != value},
             {"read_only", item->IsReadOnlyParam()},
             {"confidential", confidential}});
    }
    return rows;
}

} // namespace ctl
