// What a printer's status bytes mean: one description per byte and bit, the general record (with the
// standard table and the mask of bits the printer reports) and the extended record, plus the raw
// status bytes of one reading.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCFXDataReader;
class TCFXDataWriter;

class StatusBitInfo {
public:
    StatusBitInfo() = default;
    StatusBitInfo(int32_t byteRef, int32_t bitRef, std::string_view description, uint32_t signalFamily);

    int32_t GetByteRef() const { return m_byteRef; }
    void SetByteRef(int32_t v) { m_byteRef = v; }
    int32_t GetBitRef() const { return m_bitRef; }
    void SetBitRef(int32_t v) { m_bitRef = v; }
    int32_t GetId() const { return m_id; }
    void SetId(int32_t v) { m_id = v; }
    const std::string& GetDescription() const { return m_description; }
    void SetDescription(std::string_view text);
    const std::string& GetAddDescription() const { return m_addDescription; }
    void SetAddDescription(std::string_view text);
    // 0 a plain state, 1 a warning, 2 an error.
    uint32_t GetSignalFamily() const { return m_signalFamily; }
    void SetSignalFamily(uint32_t v) { m_signalFamily = v; }

    // "byte|bit", two decimal numbers; anything else is refused (and logged) and changes nothing.
    [[nodiscard]] bool AddByteBit(std::string_view text);
    [[nodiscard]] bool AddId(std::string_view text);
    [[nodiscard]] bool AddSignal(std::string_view text);

    // Keys "<prefix>ByteRef_%d" and the rest; the general record's prefix is "StatusBitInfo_".
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index,
                        std::string_view prefix = "StatusBitInfo_") const;
    static std::unique_ptr<StatusBitInfo> Serialize_Load(const TCFXDataReader& reader,
                                                         const std::string& version, int index,
                                                         std::string_view prefix = "StatusBitInfo_");

private:
    int32_t m_byteRef = 0;
    int32_t m_bitRef = 0;
    int32_t m_id = 0;
    std::string m_description;
    std::string m_addDescription;
    uint32_t m_signalFamily = 0;
};

class StatusWayPorts {
public:
    uint32_t GetPorts() const { return m_ports; }
    void SetPorts(uint32_t ports) { m_ports = ports; }
    bool AvailableStandardPort() const { return (m_ports & 0x1) != 0; }
    bool AvailableUsb0Port() const { return (m_ports & 0x2) != 0; }
    bool AvailableUdpPort() const { return (m_ports & 0x4) != 0; }
    bool Available() const { return m_ports != 0; }

private:
    uint32_t m_ports = 1;
};

// The list logic shared by the general and the extended record.
class StatusInfoData {
public:
    virtual ~StatusInfoData() = default;

    int32_t GetNumBytesStatus() const { return m_numBytesStatus; }
    void SetNumBytesStatus(int32_t n) { m_numBytesStatus = n; }
    const StatusWayPorts& GetStatusWayPorts() const { return m_ports; }
    void SetStatusPorts(int ports) { m_ports.SetPorts(static_cast<uint32_t>(ports)); }
    const std::vector<std::unique_ptr<StatusBitInfo>>& GetDescriptions() const { return m_descriptions; }

    // Not taken (false) when its byte lies beyond NumBytesStatus; replaces a description of the same
    // byte and bit, else appends.
    bool AddStatusBitInfo(std::unique_ptr<StatusBitInfo> info);
    void AddStatusBitInfoList(std::vector<std::unique_ptr<StatusBitInfo>> list);
    // Not owning: per byte 1..NumBytesStatus and bit 0..7 the first description, for the bits the printer
    // reports, in byte and bit order.
    std::vector<const StatusBitInfo*> GetOnlyBitsAvailable() const;

protected:
    explicit StatusInfoData(int32_t numBytesStatus) : m_numBytesStatus(numBytesStatus) {}
    virtual bool IsBitReported(int32_t byteRef, int32_t bitRef) const = 0;
    void ClearDescriptions() { m_descriptions.clear(); }
    void SaveDescriptions(TCFXDataWriter& writer, const std::string& version, const char* sizeKey,
                          std::string_view prefix) const;
    void LoadDescriptions(const TCFXDataReader& reader, const std::string& version, const char* sizeKey,
                          std::string_view prefix, bool afterCount = false);

private:
    int32_t m_numBytesStatus;
    StatusWayPorts m_ports;
    std::vector<std::unique_ptr<StatusBitInfo>> m_descriptions;
};

class StatusInfoGenData : public StatusInfoData {
public:
    // Starts with the standard table.
    StatusInfoGenData();

    uint64_t GetStatusBitMaskSupported() const { return m_statusBitMaskSupported; }
    void SetStatusBitMaskSupported(uint64_t mask) { m_statusBitMaskSupported = mask; }
    // Replaces the descriptions with the standard table.
    void InitWithStandardBits();

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<StatusInfoGenData> Serialize_Load(const TCFXDataReader& reader,
                                                             const std::string& version);

protected:
    // Bit (byte - 1) * 8 + bit of the mask; bits beyond the 64-bit mask are never reported.
    bool IsBitReported(int32_t byteRef, int32_t bitRef) const override;

private:
    uint64_t m_statusBitMaskSupported = 0;
};

class StatusInfoExtData : public StatusInfoData {
public:
    StatusInfoExtData() : StatusInfoData(0) {}

    // Its descriptions are written under keys of their own ("StatusInfoExtData_StatusBitInfo_...").
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    // Also reads archives that stored them under the general record's names, after the general ones.
    static std::unique_ptr<StatusInfoExtData> Serialize_Load(const TCFXDataReader& reader,
                                                             const std::string& version);

protected:
    bool IsBitReported(int32_t, int32_t) const override { return true; }
};

// The status bytes of one status answer.
struct StatusData {
    std::vector<uint8_t> Bytes;
    size_t Length() const { return Bytes.size(); }
};
