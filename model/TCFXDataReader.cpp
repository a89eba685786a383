// Reader of the configuration archive.
#include "model/TCFXDataReader.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/TCFXDataManager.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sys/stat.h>

namespace {

constexpr const char* kRootName = "DataFile";

pugi::xml_node NodeOf(const void* handle) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(handle)));
}

// Iterative walk: a hostile file may nest far deeper than any call stack.
int DepthOf(const pugi::xml_node& root, int limit) {
    int depth = 0;
    int deepest = 0;
    pugi::xml_node node = root;
    while (node) {
        if (node.first_child()) {
            node = node.first_child();
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                return deepest;
            }
            continue;
        }
        while (node && node != root && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (!node || node == root) {
            break;
        }
        node = node.next_sibling();
    }
    return deepest;
}

int ClampToInt(long value) {
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

int ParseInt(const char* text) {
    return ClampToInt(std::strtol(text, nullptr, 10));
}

int64_t ParseWholeNumber(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long exact = std::strtoll(text, &end, 10);
    if (end != text && errno == 0 && *end != '.' && *end != 'e' && *end != 'E') {
        return exact;
    }
    const double value = GenericFunctions::StrtodC(text, nullptr);
    // 2^63: the largest magnitude that converts to int64 without overflow.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= limit || value < -limit) {
        return 0;
    }
    return std::llround(value);
}

int SizeAttribute(const pugi::xml_node& list) {
    return std::max(0, ParseInt(list.attribute("Size").value()));
}

void SetFound(bool* found, bool value) {
    if (found != nullptr) {
        *found = value;
    }
}

} // namespace

TCFXDataReader::TCFXDataReader() = default;
TCFXDataReader::~TCFXDataReader() = default;

bool TCFXDataReader::openDocumentFromFile(const std::string& path) {
    static constexpr const char* kWhere = "TCFXDataReader::openDocumentFromFile";
    const std::optional<std::vector<uint8_t>> content =
        GenericFunctions::ReadRegularFile(path.c_str(), kMaxFileSize);
    if (!content) {
        Log::WriteLogP(kWhere, "Cannot read %s: missing, not a regular file, or above %zu bytes",
                       path.c_str(), kMaxFileSize);
        return false;
    }
    return openDocumentFromMemory(
        std::string_view(reinterpret_cast<const char*>(content->data()), content->size()));
}

bool TCFXDataReader::openDocumentFromMemory(std::string_view content) {
    static constexpr const char* kWhere = "TCFXDataReader::openDocumentFromMemory";
    m_index.clear();
    m_occurrences.clear();
    m_elementCount = 0;
    m_hint = 0;
    m_anchorOrder = 0;
    m_document = std::make_unique<pugi::xml_document>();
    if (content.size() > kMaxFileSize) {
        Log::WriteLog(kWhere, "Document too large");
        return false;
    }
    const pugi::xml_parse_result result = m_document->load_buffer(content.data(), content.size());
    if (!result) {
        Log::WriteLogP(kWhere, "Parse error: %s at offset %ld", result.description(),
                       static_cast<long>(result.offset));
        m_document->reset();
        return false;
    }
    return adoptParsedDocument(kWhere);
}

bool TCFXDataReader::adoptParsedDocument(const char* where) {
    const pugi::xml_node root = m_document->document_element();
    if (!root || std::strcmp(root.name(), kRootName) != 0) {
        Log::WriteLog(where, "No DataFile element");
        m_document->reset();
        return false;
    }
    if (DepthOf(*m_document, kMaxDepth) > kMaxDepth) {
        Log::WriteLog(where, "Document nested too deeply");
        m_document->reset();
        return false;
    }
    buildIndex();
    return true;
}

void TCFXDataReader::buildIndex() {
    const pugi::xml_node root = m_document->document_element();
    size_t count = 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        count += child.type() == pugi::node_element ? 1 : 0;
    }
    if (count >= kNone) {
        return; // cannot happen within kMaxFileSize; an empty index reads as an empty archive
    }
    m_occurrences.reserve(count);
    m_index.reserve(count);
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const auto position = static_cast<uint32_t>(m_occurrences.size());
        m_occurrences.push_back({m_occurrences.size() + 1, child.internal_object(), kNone, true});
        const auto [it, inserted] = m_index.try_emplace(child.name(), Chain{position, position});
        if (!inserted) {
            m_occurrences[position].first = false;
            m_occurrences[it->second.last].next = position;
            it->second.last = position;
        }
    }
    m_elementCount = m_occurrences.size();
}

const void* TCFXDataReader::findElement(const char* key) const {
    if (key == nullptr) {
        return nullptr;
    }
    if (m_anchorOrder == 0 && m_hint < m_occurrences.size() && m_occurrences[m_hint].first &&
        std::strcmp(NodeOf(m_occurrences[m_hint].node).name(), key) == 0) {
        return m_occurrences[m_hint++].node;
    }
    const auto it = m_index.find(key);
    if (it == m_index.end()) {
        return nullptr;
    }
    for (uint32_t at = it->second.first; at != kNone; at = m_occurrences[at].next) {
        if (m_occurrences[at].order > m_anchorOrder) {
            m_hint = at + 1;
            return m_occurrences[at].node;
        }
    }
    return nullptr;
}

const char* TCFXDataReader::getBaseValueAsString(const char* key, bool* found) const {
    const void* node = findElement(key);
    SetFound(found, node != nullptr);
    return node == nullptr ? nullptr : NodeOf(node).child_value();
}

std::string TCFXDataReader::getBaseValueAsHexString(const char* key, bool* found) const {
    const char* raw = getBaseValueAsString(key, found);
    return raw == nullptr ? std::string() : TCFXDataManager::hex_to_string(raw);
}

int TCFXDataReader::getBaseValueAsInt(const char* key, bool* found) const {
    const char* raw = getBaseValueAsString(key, found);
    return raw == nullptr ? 0 : ParseInt(raw);
}

unsigned long TCFXDataReader::getBaseValueAsUInt(const char* key, bool* found) const {
    const char* raw = getBaseValueAsString(key, found);
    return raw == nullptr ? 0 : std::strtoul(raw, nullptr, 10);
}

int64_t TCFXDataReader::getBaseValueAsInt64(const char* key, bool* found) const {
    const char* raw = getBaseValueAsString(key, found);
    return raw == nullptr ? 0 : ParseWholeNumber(raw);
}

float TCFXDataReader::getBaseValueAsFloat(const char* key, bool* found) const {
    const char* raw = getBaseValueAsString(key, found);
    return raw == nullptr ? 0.0f : GenericFunctions::ParseFloat(raw, 0.0f, nullptr);
}

double TCFXDataReader::getBaseValueAsDouble(const char* key, bool* found) const {
    return static_cast<double>(getBaseValueAsFloat(key, found));
}

template <typename T, typename Convert>
std::vector<T> TCFXDataReader::readList(const char* key, bool* found, Convert convert) const {
    std::vector<T> entries;
    const void* handle = findElement(key);
    if (handle == nullptr) {
        SetFound(found, false);
        return entries;
    }
    const pugi::xml_node list = NodeOf(handle);
    const size_t size = static_cast<size_t>(SizeAttribute(list));
    for (pugi::xml_node child = list.first_child(); child && entries.size() < size;
         child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            entries.push_back(convert(child));
        }
    }
    SetFound(found, entries.size() == size);
    return entries;
}

std::vector<std::string> TCFXDataReader::getStringListValue(const char* key, bool* found) const {
    return readList<std::string>(key, found, [](const pugi::xml_node& entry) {
        return TCFXDataManager::hex_to_string(entry.child_value());
    });
}

std::vector<int32_t> TCFXDataReader::getIntListValue(const char* key, bool* found) const {
    return readList<int32_t>(key, found,
                             [](const pugi::xml_node& entry) { return ParseInt(entry.child_value()); });
}

std::vector<uint64_t> TCFXDataReader::getUInt64ListValue(const char* key, bool* found) const {
    return readList<uint64_t>(key, found, [](const pugi::xml_node& entry) {
        return static_cast<uint64_t>(std::strtoull(entry.child_value(), nullptr, 10));
    });
}

std::vector<ListItem> TCFXDataReader::getBasicItemListValue(const char* key, bool* found) const {
    return readList<ListItem>(key, found, [](const pugi::xml_node& entry) {
        return ListItem{TCFXDataManager::hex_to_string(entry.attribute("Text").value()),
                        ParseInt(entry.attribute("Index").value())};
    });
}

TCFXDataReader::AnchorScope::AnchorScope(const TCFXDataReader& reader, const char* anchor)
    : m_reader(reader), m_previous(reader.m_anchorOrder) {
    const auto it = anchor != nullptr ? reader.m_index.find(anchor) : reader.m_index.end();
    reader.m_anchorOrder =
        it == reader.m_index.end() ? SIZE_MAX : reader.m_occurrences[it->second.first].order;
}

TCFXDataReader::AnchorScope::~AnchorScope() {
    m_reader.m_anchorOrder = m_previous;
}
