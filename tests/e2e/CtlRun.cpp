#include "tests/e2e/CtlRun.h"

#include <gtest/gtest.h>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validator.hpp>

#include <fstream>

namespace {

ProcessOptions CtlOptions(const std::string& stateHome, int timeoutMs) {
    ProcessOptions options;
    options.env = {{"DALVORA_TESTONLY_TIME_SCALE", kTimeScale}, {"XDG_STATE_HOME", stateHome}};
    options.timeoutMs = timeoutMs;
    return options;
}

nlohmann::json LoadSchema() {
    std::ifstream in(DALVORACTL_SCHEMA);
    return nlohmann::json::parse(in);
}

} // namespace

ProcessResult CtlRunner::Run(const std::vector<std::string>& args, int timeoutMs) const {
    return RunProcess(DALVORACTL_BINARY, args, CtlOptions(m_state.path(), timeoutMs));
}

ProcessResult CtlRunner::RunOverUsb(const std::vector<std::string>& simArgs,
                                    const std::vector<std::string>& args) const {
    return RunProcess(DALVORA_SIM_BINARY, Args(Args(simArgs, {"--usb", "--", DALVORACTL_BINARY}), args),
                      CtlOptions(m_state.path(), 120000));
}

nlohmann::json CtlRunner::Json(const std::vector<std::string>& args, ProcessResult* result) const {
    ProcessResult run = Run(Args({"--json"}, args));
    nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_FALSE(document.is_discarded()) << run.out << run.err;
    if (!document.is_discarded()) {
        EXPECT_EQ(SchemaErrors(document), "") << document.dump(2);
    }
    if (result != nullptr)
        *result = std::move(run);
    return document;
}

std::vector<nlohmann::json> CtlRunner::TrailLines() const {
    std::vector<nlohmann::json> lines;
    std::ifstream in(m_state.path() + "/dalvora/audit.jsonl");
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
        EXPECT_EQ(SchemaErrors(lines.back(), "auditEntry"), "") << line;
    }
    return lines;
}

std::string CtlRunner::ProfileWith(const std::map<int, nlohmann::json>& currentValues,
                                   const std::string& name) const {
    std::ifstream in(DALVORA_SIM_PROFILE_DIR "/default.json");
    nlohmann::json profile = nlohmann::json::parse(in);
    for (nlohmann::json& item : profile["items"])
        if (auto it = currentValues.find(item["id"].get<int>()); it != currentValues.end())
            item["current"] = it->second;
    const std::string path = m_files.file(name + ".json");
    std::ofstream(path) << profile.dump();
    return path;
}

std::string CtlAddress(const SimPrinter& printer) {
    const std::vector<std::string> device = printer.DeviceArgs();
    return (device[1] == "eth" ? "eth:" : "ser:") + device[3];
}

std::string SchemaErrors(const nlohmann::json& document, const std::string& definition) {
    static const nlohmann::json whole = LoadSchema();
    nlohmann::json schemaJson = whole;
    if (!definition.empty()) {
        // The definition with the others beside it, so its references resolve.
        schemaJson = whole["definitions"][definition];
        schemaJson["definitions"] = whole["definitions"];
    }
    valijson::Schema schema;
    valijson::SchemaParser parser;
    valijson::adapters::NlohmannJsonAdapter schemaAdapter(schemaJson);
    parser.populateSchema(schemaAdapter, schema);
    valijson::Validator validator;
    valijson::ValidationResults results;
    valijson::adapters::NlohmannJsonAdapter target(document);
    if (validator.validate(schema, target, &results))
        return "";
    std::string errors;
    valijson::ValidationResults::Error error;
    while (results.popError(error)) {
        for (const std::string& part : error.context)
            errors += part;
        errors += ": " + error.description + "\n";
    }
    return errors;
}
