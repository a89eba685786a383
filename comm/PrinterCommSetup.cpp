// Reading a printer's setup: header, information pages, id list, every item and its links.
#include "comm/PrinterComm.h"

#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterSession.h"
#include "model/PrinterData.h"

using namespace printer_session;

namespace {

constexpr const char* kReadWhere = "PrnCom_ReadSetupData";

struct InfoGroup {
    const std::array<unsigned char, 3>& command;
    OBJTYPE type;
    const char* okText;
    const char* errorText;
    const char* missingText;
    bool wrongRecordIsFatal;
};

// One information page: an empty record when the printer has none to give.
template <class Record>
std::unique_ptr<Record> ReadInfoGroup(CommLayer& layer, const PrinterData& data, const InfoGroup& group) {
    std::optional<Answer> answer = Ask(layer, group.command);
    if (!answer) {
        layer.CleanRX();
        Log::WriteLog(kReadWhere, group.missingText);
        return std::make_unique<Record>();
    }
    if (answer->refusal != 0) {
        Log::WriteLogP(kReadWhere, "Return is a Error Answer %d", answer->refusal);
        Log::WriteLog(kReadWhere, group.missingText);
        return std::make_unique<Record>();
    }
    AnswerRecord record = RecordOf(*answer, data);
    std::unique_ptr<Record> info = record.Type() == group.type ? record.Take<Record>() : nullptr;
    if (info) {
        Log::WriteLog(kReadWhere, group.okText);
        return info;
    }
    if (group.wrongRecordIsFatal)
        Fail(kReadWhere, group.errorText, kErrorBadAnswer);
    Log::WriteLog(kReadWhere, group.errorText);
    Log::WriteLog(kReadWhere, group.missingText);
    return std::make_unique<Record>();
}

size_t CountLinks(const std::vector<AnswerRecord>& records) {
    size_t count = 0;
    for (const AnswerRecord& record : records)
        count += record.Links().size();
    return count;
}

} // namespace

void PrinterComm::ReadHeader(CommLayer& layer, PrinterData& data) {
    Log::WriteLog(kReadWhere, "PRINTER SETUP DATA AVAILABLE");
    Cancel(layer);
    const uint64_t version = VersionOf(data);
    std::optional<Answer> answer = Ask(layer, Commands::GetCommand_GetHeaderSetup(version),
                                       Commands::GetCommand_GetHeaderSetupCommandSize(version));
    if (!answer) {
        layer.CleanRX();
        Log::WriteLog(kReadWhere, "NO Get HeaderSetup");
        data.SetSetupItemHeader(std::make_unique<SetupItemHeader>());
    } else {
        AnswerRecord record = RecordOf(*answer, data);
        std::unique_ptr<SetupItemHeader> header =
            record.Type() == OBJTYPE_SETUP_HEADER ? record.Take<SetupItemHeader>() : nullptr;
        if (!header)
            Fail(kReadWhere, "Extract SetupItemHeader Error", kErrorBadAnswer);
        Log::WriteLog(kReadWhere, "ExtractHeaderSetup OK");
        data.SetSetupItemHeader(std::move(header));
    }
    Cancel(layer);
}

void PrinterComm::ReadInformation(CommLayer& layer, PrinterData& data) {
    data.SetLifeInfo(ReadInfoGroup<InfoItemPrnLifeInfo>(
        layer, data,
        {Commands::Cmd_CommandGetPrnLifeInfo, OBJTYPE_PRN_LIFE_INFO, "ExtractPrnLifeInfo OK",
         "Extract PrnLifeInfo Error", "NO Get PrnLifeInfo", true}));
    Cancel(layer);
    data.SetDeviceInfo(ReadInfoGroup<InfoItemPrnDeviceInfo>(
        layer, data,
        {Commands::Cmd_CommandGetPrnDeviceInfo, OBJTYPE_PRN_DEVICE_INFO, "ExtractPrnDeviceInfo OK",
         "Extract PrnDeviceInfo Error", "NO Get PrnDeviceInfo", true}));
    Cancel(layer);
    data.SetHeadInfo(ReadInfoGroup<InfoItemPrnHeadInfo>(
        layer, data,
        {Commands::Cmd_CommandGetPrnHeadInfo, OBJTYPE_PRN_HEAD_INFO, "ExtractPrnHeadInfo OK",
         "Extract PrnHeadInfo Error", "NO Get PrnHeadInfo", false}));
    Cancel(layer);
}

// The id list, then each item with up to three attempts; returns the values failing range checks.
uint64_t PrinterComm::ReadItems(CommLayer& layer, PrinterData& data) {
    const uint64_t version = VersionOf(data);
    std::optional<Answer> listAnswer = Ask(layer, Commands::GetCommand_GetIDList(version),
                                           Commands::GetCommand_GetIDListCommandSize(version));
    if (!listAnswer)
        Fail(kReadWhere, "Get ID List Error", kErrorNoAnswer);
    if (listAnswer->refusal != 0)
        FailRefused(kReadWhere, listAnswer->refusal);
    AnswerRecord listRecord = RecordOf(*listAnswer, data);
    std::unique_ptr<SetupItemIDList> ids =
        listRecord.Type() == OBJTYPE_SETUP_ID_LIST ? listRecord.Take<SetupItemIDList>() : nullptr;
    if (!ids)
        Fail(kReadWhere, "Extract SetupItemIDList Error", kErrorBadAnswer);
    Log::WriteLog(kReadWhere, "ExtractIDList OK");

    uint64_t dataErrors = 0;
    std::vector<AnswerRecord> records;
    records.reserve(ids->GetIDs().size());
    for (uint64_t id : ids->GetIDs())
        records.push_back(ReadItem(layer, data, id, dataErrors));
    data.SetSetupItemIDList(std::move(ids));

    const size_t linkCount = CountLinks(records);
    std::vector<std::unique_ptr<SetupItemType>> items;
    std::vector<std::unique_ptr<SetupItemLink>> links;
    if (linkCount == 0)
        Log::WriteLog(kReadWhere, "No Links to Manage");
    else
        Log::WriteLogP(kReadWhere, "Manage %zu Links", linkCount);
    for (AnswerRecord& record : records) {
        for (auto& link : record.TakeLinks())
            links.push_back(std::move(link));
        items.push_back(record.Take<SetupItemType>());
    }
    data.ReplaceSetup(std::move(items), std::move(links));
    return dataErrors;
}

AnswerRecord PrinterComm::ReadItem(CommLayer& layer, const PrinterData& data, uint64_t id,
                                   uint64_t& dataErrors) {
    const auto shownId = static_cast<unsigned long long>(id);
    for (unsigned attempt = 1;; ++attempt) {
        const bool last = attempt >= m_idInfoAttempts;
        Cancel(layer);
        std::optional<Answer> answer = Ask(layer, Commands::GetCommand_GetIDInformation(VersionOf(data), id));
        if (!answer) {
            Log::WriteLogP(kReadWhere, "Get ID Info ID:%llu Error(Retry %llu of %llu)", shownId,
                           static_cast<unsigned long long>(attempt),
                           static_cast<unsigned long long>(m_idInfoAttempts));
            if (last)
                Fail(kReadWhere, "Get ID Info Error", kErrorNoAnswer);
            continue;
        }
        if (answer->refusal != 0) {
            Log::WriteLog(kReadWhere, "Return is a Error Answer");
            if (last)
                FailRefused(kReadWhere, answer->refusal);
            continue;
        }
        // Range failures of an attempt that is then refused must not count.
        uint64_t itemErrors = 0;
        AnswerRecord record = RecordOf(*answer, data, itemErrors);
        const SetupItemType* item = record.Get<SetupItemType>();
        if (item != nullptr && item->GetId() == id) {
            Log::WriteLogP(kReadWhere, "ExtractIDInfo ID:%llu OK", shownId);
            dataErrors += itemErrors;
            return record;
        }
        // Another item's answer arrived late: what else is queued behind it is stale as well.
        if (item != nullptr)
            layer.CleanRX();
        Log::WriteLogP(kReadWhere, "ExtractIDInfo ID:%llu Error(Retry %llu of %d)", shownId,
                       static_cast<unsigned long long>(attempt), static_cast<int>(m_idInfoAttempts));
        if (last)
            Fail(kReadWhere, "ExtractIDInfo ID Info Error", kErrorNoAnswer);
    }
}

uint64_t PrinterComm::PrnCom_ReadSetupData(CommLayer* layer, PrinterData* data, CommPortSettings* settings,
                                           bool withInfo) {
    Log::WriteLog(kReadWhere, "Begin");
    uint64_t dataErrors = Guarded(kReadWhere, [&] {
        PortCloser port(*layer);
        Preamble(kReadWhere, *layer, *data, *settings);
        uint64_t errors = 0;
        if (data->GetProtocolDataAvailable()->SetupDataAvailable(true, false)) {
            ReadHeader(*layer, *data);
            if (withInfo)
                ReadInformation(*layer, *data);
            errors = ReadItems(*layer, *data);
        }
        port.Close();
        return errors;
    });
    if (dataErrors != 0)
        Log::WriteLogP(kReadWhere, "Found %llu Data Error during the FW cummunication",
                       static_cast<unsigned long long>(dataErrors));
    Log::WriteLog(kReadWhere, "End");
    return dataErrors;
}
