// Archive keys of the capability words and the protocol version. ("Protocoll" is the stored spelling.)
#include "model/ProtocolDataAvailable.h"

#include "model/ArchiveKeys.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

void ProtocolDataAvailable::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    writer.addBaseElement("ProtocollDataAvailable_DataAvailable", ArchiveType::UInt64,
                          static_cast<unsigned long>(m_dataAvailable));
    writer.addBaseElement("ProtocollDataAvailable_DataToSave", ArchiveType::UInt64,
                          static_cast<unsigned long>(m_dataToSave));
}

std::unique_ptr<ProtocolDataAvailable> ProtocolDataAvailable::Serialize_Load(const TCFXDataReader& reader,
                                                                             const std::string& /*version*/) {
    auto data = std::make_unique<ProtocolDataAvailable>();
    data->m_dataAvailable = reader.getBaseValueAsUInt("ProtocollDataAvailable_DataAvailable");
    data->m_dataToSave = reader.getBaseValueAsUInt("ProtocollDataAvailable_DataToSave");
    return data;
}

void ProtocolVersion::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    writer.addBaseElement("ProtVersion_Version", ArchiveType::UInt64, static_cast<unsigned long>(Version));
}

std::unique_ptr<ProtocolVersion> ProtocolVersion::Serialize_Load(const TCFXDataReader& reader,
                                                                 const std::string& /*version*/) {
    auto version = std::make_unique<ProtocolVersion>();
    version->Version = reader.getBaseValueAsUInt("ProtVersion_Version");
    return version;
}
