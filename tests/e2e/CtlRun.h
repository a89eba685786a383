// dalvoractl as the end-to-end cases run it: the real binary with waits scaled down and its own audit
// trail directory, its JSON documents checked against the published schema, and simulated printers
// whose setup differs from the default profile's.
#pragma once

#include "tests/e2e/SimPrinter.h"

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class CtlRunner {
public:
    // The audit trail goes to the runner's own state directory.
    ProcessResult Run(const std::vector<std::string>& args, int timeoutMs = 120000) const;
    // The same as the USB host of a simulated USB printer.
    ProcessResult RunOverUsb(const std::vector<std::string>& simArgs,
                             const std::vector<std::string>& args) const;
    // Run with --json: the document, after checking it against the schema (a failure is recorded).
    nlohmann::json Json(const std::vector<std::string>& args, ProcessResult* result = nullptr) const;
    // The audit trail's lines, each checked against the schema's entry.
    std::vector<nlohmann::json> TrailLines() const;
    const std::string& StateHome() const { return m_state.path(); }
    std::string File(const std::string& name) const { return m_files.file(name); }
    // A profile like the default one with these items' current values changed.
    std::string ProfileWith(const std::map<int, nlohmann::json>& currentValues,
                            const std::string& name) const;

private:
    TempDir m_state;
    TempDir m_files;
};

// The printer name dalvoractl takes for a simulated printer: eth:127.0.0.1:PORT or ser:PATH.
std::string CtlAddress(const SimPrinter& printer);

// Empty when the document is valid against the schema (at `definition`, or the whole schema), else
// the validator's account.
std::string SchemaErrors(const nlohmann::json& document, const std::string& definition = "");
