// Cost of the archive layer: saving and loading a 1,000-item setup through PrinterData, against a bare
// pugixml parse and save of the very same document, so that the ratio shows our own overhead.
#include "model/PrinterData.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <string>

namespace {

constexpr int kItems = 1000;

std::unique_ptr<SetupItemType> MakeItem(int i) {
    const uint64_t id = 1000 + static_cast<uint64_t>(i);
    switch (i % 5) {
    case 0: {
        auto item = std::make_unique<SetupItemTypeList>();
        item->SetId(id);
        item->SetDescription("Interface speed");
        for (int k = 0; k < 6; ++k) {
            item->AddItem("Choice " + std::to_string(k), k);
        }
        item->SetCurrentUIValue(3);
        return item;
    }
    case 1: {
        auto item = std::make_unique<SetupItemTypeNumeric>();
        item->SetId(id);
        item->SetDescription("Print darkness");
        item->SetStepValue(0.25f);
        item->SetCurUIValue(1.75f);
        return item;
    }
    case 2: {
        auto item = std::make_unique<SetupItemTypeDateTime>();
        item->SetId(id);
        item->SetDescription("Clock");
        item->SetCurUIDateTime(1733500123);
        return item;
    }
    case 3: {
        auto item = std::make_unique<SetupItemTypeString>();
        item->SetId(id);
        item->SetDescription("Network password");
        // Every other string is confidential: the encryption cost is part of a real save.
        item->SetDataMask(i % 2 == 0 ? SetupItemTypeString::kMaskConfidential
                                     : SetupItemTypeString::kMaskIPv4);
        item->SetCurValue("value-" + std::to_string(i));
        item->SetCurUIValue("value-" + std::to_string(i));
        return item;
    }
    default: {
        auto item = std::make_unique<SetupItemTypeCheckbox>();
        item->SetId(id);
        item->SetDescription("Options");
        item->SetNumBits(16);
        for (int bit = 0; bit < 16; ++bit) {
            (void)item->AddElement(bit, "Option bit");
        }
        return item;
    }
    }
}

PrinterData& LargeSetup() {
    static PrinterData data = [] {
        PrinterData d;
        d.SetGSI(1234);
        d.SetFWRel("1.02");
        d.SetProtocolVersion(std::make_unique<ProtocolVersion>(ProtocolVersion{100}));
        d.GetProtocolDataAvailable()->SetDataAvailable(0x91);
        d.GetProtocolDataAvailable()->SetDataToSave(0x91);
        auto ids = std::make_unique<SetupItemIDList>();
        for (int i = 0; i < kItems; ++i) {
            ids->AddID(1000 + static_cast<uint64_t>(i));
            d.AddSetupItem(MakeItem(i));
        }
        d.SetSetupItemIDList(std::move(ids));
        for (int i = 0; i + 1 < kItems; i += 5) {
            d.AddSetupItemLink(
                std::make_unique<SetupItemLink>(1001 + i, 1000 + i, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 1));
        }
        d.SetStatusInfoGenData(std::make_unique<StatusInfoGenData>());
        return d;
    }();
    return data;
}

const std::string& LargeDocument() {
    static const std::string xml = [] {
        TCFXDataWriter writer;
        if (!writer.openDocument() || !LargeSetup().Serialize_Save(writer)) {
            return std::string();
        }
        return writer.saveToString();
    }();
    return xml;
}

void BM_ArchiveSave(benchmark::State& state) {
    for (auto _ : state) {
        TCFXDataWriter writer;
        if (!writer.openDocument() || !LargeSetup().Serialize_Save(writer)) {
            state.SkipWithError("save failed");
            break;
        }
        benchmark::DoNotOptimize(writer.saveToString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LargeDocument().size()));
}

void BM_ArchiveLoad(benchmark::State& state) {
    const std::string& xml = LargeDocument();
    for (auto _ : state) {
        TCFXDataReader reader;
        PrinterData data;
        if (!reader.openDocumentFromMemory(xml)) {
            state.SkipWithError("parse failed");
            break;
        }
        data.Serialize_Load(reader);
        benchmark::DoNotOptimize(data.GetNumSetupItems());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}

void BM_PugixmlParse(benchmark::State& state) {
    const std::string& xml = LargeDocument();
    for (auto _ : state) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer(xml.data(), xml.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}

void BM_PugixmlSave(benchmark::State& state) {
    const std::string& xml = LargeDocument();
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size())) {
        state.SkipWithError("parse failed");
        return;
    }
    struct StringWriter : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    };
    for (auto _ : state) {
        StringWriter writer;
        document.save(writer);
        benchmark::DoNotOptimize(writer.text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}

} // namespace

BENCHMARK(BM_ArchiveSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond);
