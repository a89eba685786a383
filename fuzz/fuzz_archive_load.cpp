// Configuration archives from anywhere: parse, load into PrinterData, and save again. Nothing may
// crash, read out of bounds or run away, whatever the file holds.
#include "base/DalvoraException.h"
#include "model/PrinterData.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TCFXDataReader reader;
    if (!reader.openDocumentFromMemory(std::string_view(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    PrinterData printer;
    try {
        printer.Serialize_Load(reader);
    } catch (const DalvoraException&) {
        return 0;
    }
    std::string message;
    (void)printer.CheckDataValues(ProtocolDataAvailable(), message);
    (void)printer.IsThisPrinterCompatible(&printer);
    for (const auto& item : printer.GetSetupItems()) {
        (void)item->UIValue();
    }
    TCFXDataWriter writer;
    if (writer.openDocument() && printer.Serialize_Save(writer)) {
        (void)writer.saveToString();
    }
    return 0;
}
