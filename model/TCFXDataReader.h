// Reader of the configuration archive (.tcfx). Values are looked up by key, so element order does not
// matter; a missing key reads as 0, the empty text or an empty list. Untrusted files are bounded: size,
// nesting depth and list lengths never drive an allocation beyond what the file really holds.
#pragma once

#include "model/ListItem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pugi {
class xml_document;
class xml_node;
} // namespace pugi

class TCFXDataReader {
public:
    static constexpr size_t kMaxFileSize = 64u << 20; // far above any printer's archive
    static constexpr int kMaxDepth = 16;              // the format itself nests three levels

    TCFXDataReader();
    ~TCFXDataReader();
    TCFXDataReader(const TCFXDataReader&) = delete;
    TCFXDataReader& operator=(const TCFXDataReader&) = delete;

    // False (and logged) when the file cannot be read, is too large, does not parse, nests too deeply or
    // has no "DataFile" root element.
    [[nodiscard]] bool openDocumentFromFile(const std::string& path);
    [[nodiscard]] bool openDocumentFromMemory(std::string_view content);

    // Raw content of the first "DataFile" child named key; null when there is none. `found` (optional)
    // tells whether the key exists.
    const char* getBaseValueAsString(const char* key, bool* found = nullptr) const;
    std::string getBaseValueAsHexString(const char* key, bool* found = nullptr) const;
    // Leading decimal digits as strtol reads them, clamped to the int range.
    int getBaseValueAsInt(const char* key, bool* found = nullptr) const;
    unsigned long getBaseValueAsUInt(const char* key, bool* found = nullptr) const;
    // Exact whole numbers, also when stored as a (possibly fractional) float: rounded to the nearest.
    int64_t getBaseValueAsInt64(const char* key, bool* found = nullptr) const;
    float getBaseValueAsFloat(const char* key, bool* found = nullptr) const;
    // Read with single precision, as it was written.
    double getBaseValueAsDouble(const char* key, bool* found = nullptr) const;

    // Up to "Size" element children, whatever their names; found when exactly "Size" were present.
    std::vector<std::string> getStringListValue(const char* key, bool* found = nullptr) const;
    std::vector<int32_t> getIntListValue(const char* key, bool* found = nullptr) const;
    std::vector<uint64_t> getUInt64ListValue(const char* key, bool* found = nullptr) const;
    std::vector<ListItem> getBasicItemListValue(const char* key, bool* found = nullptr) const;

    // Number of "DataFile" children: an upper bound for any count a record reads from the file.
    size_t elementCount() const { return m_elementCount; }

    // While an anchor is set, lookups only see elements that follow the first element named `anchor`
    // (none at all when it is absent). Old archives repeat key names, and only position tells them apart.
    class AnchorScope {
    public:
        AnchorScope(const TCFXDataReader& reader, const char* anchor);
        ~AnchorScope();
        AnchorScope(const AnchorScope&) = delete;
        AnchorScope& operator=(const AnchorScope&) = delete;

    private:
        const TCFXDataReader& m_reader;
        size_t m_previous;
    };

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    // Elements of one name are chained in document order, so the index needs no allocation per name.
    struct Occurrence {
        size_t order;
        const void* node; // pugi::xml_node_struct*, owned by the document
        uint32_t next;
        bool first; // the first element of its name
    };
    struct Chain {
        uint32_t first;
        uint32_t last;
    };

    [[nodiscard]] bool adoptParsedDocument(const char* source);
    void buildIndex();
    const void* findElement(const char* key) const;
    template <typename T, typename Convert>
    std::vector<T> readList(const char* key, bool* found, Convert convert) const;

    std::unique_ptr<pugi::xml_document> m_document;
    std::vector<Occurrence> m_occurrences;
    std::unordered_map<std::string_view, Chain> m_index;
    size_t m_elementCount = 0;
    mutable size_t m_anchorOrder = 0;
    // Records read their keys in the order they wrote them: the element after the last one found is
    // usually the next one asked for, and checking it first spares the hash lookup.
    mutable uint32_t m_hint = 0;
};
