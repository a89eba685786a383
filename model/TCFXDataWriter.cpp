// Writer of the configuration archive and its crash-safe save.
#include "model/TCFXDataWriter.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/TCFXDataManager.h"

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pugixml.hpp>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kRootName = "DataFile";

const char* ListChildName(int type) {
    switch (type) {
    case 110:
        return "TLISTUINT";
    case 111:
        return "TLISTUINT16";
    case 113:
        return "TLISTUINT64";
    default:
        return "TLISTUINT32";
    }
}

// Closes the descriptor and removes the temporary file unless the save completed.
class TempFile {
public:
    TempFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~TempFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_kept) {
            ::unlink(m_path.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    [[nodiscard]] bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void keep() { m_kept = true; }

private:
    int m_fd;
    std::string m_path;
    bool m_kept = false;
};

std::unique_ptr<TempFile> CreateTempFileNextTo(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        // O_EXCL: never reuse (or follow a link to) a file that someone else created.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return std::make_unique<TempFile>(fd, name);
        }
        if (errno != EEXIST) {
            Log::WriteLogP("TCFXDataWriter::saveToFile", "Cannot create %s: %s", name.c_str(),
                           std::strerror(errno));
            return nullptr;
        }
    }
    return nullptr;
}

[[nodiscard]] bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // Best effort: the rename is already done, this only hurries it to the disk.
        (void)::fsync(fd);
        ::close(fd);
    }
}

} // namespace

TCFXDataWriter::TCFXDataWriter() = default;
TCFXDataWriter::~TCFXDataWriter() = default;

bool TCFXDataWriter::openDocument() {
    m_document = std::make_unique<pugi::xml_document>();
    m_failed = false;
    if (!m_document->append_child(kRootName)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool TCFXDataWriter::addText(const char* key, int type, const char* content) {
    pugi::xml_node root = m_document ? m_document->document_element() : pugi::xml_node();
    pugi::xml_node element = (key != nullptr && root) ? root.append_child(key) : pugi::xml_node();
    if (!element) {
        m_failed = true;
        return false;
    }
    if (type != 0 && !element.append_attribute("T").set_value(type)) {
        m_failed = true;
        return false;
    }
    if (content != nullptr && *content != '\0' &&
        !element.append_child(pugi::node_pcdata).set_value(content)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, const char* text) {
    return addText(key, type, TCFXDataManager::string_to_hex(text != nullptr ? text : "").c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, const std::string& text) {
    return addText(key, type, TCFXDataManager::string_to_hex(text).c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, int value) {
    return addText(key, type, std::to_string(value).c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, unsigned int value) {
    return addText(key, type, std::to_string(value).c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, long value) {
    return addText(key, type, std::to_string(value).c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, unsigned long value) {
    return addText(key, type, std::to_string(value).c_str());
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, float value) {
    char text[64];
    const int decimals = GenericFunctions::GetNumOfDecimalDigits(static_cast<double>(value));
    GenericFunctions::PrintFloat(text, sizeof text, value, decimals);
    return addText(key, type, text);
}

bool TCFXDataWriter::addBaseElement(const char* key, int type, double value) {
    return addBaseElement(key, type, static_cast<float>(value));
}

bool TCFXDataWriter::addObjectElement(const char* key, int type, const std::vector<std::string>& texts) {
    if (!addText(key, type, nullptr)) {
        return false;
    }
    pugi::xml_node list = m_document->document_element().last_child();
    list.append_attribute("Size").set_value(static_cast<unsigned long long>(texts.size()));
    for (const std::string& text : texts) {
        const std::string hex = TCFXDataManager::string_to_hex(text);
        pugi::xml_node entry = list.append_child("TLISTSTRING");
        if (!hex.empty()) {
            entry.append_child(pugi::node_pcdata).set_value(hex.c_str());
        }
    }
    return true;
}

bool TCFXDataWriter::addObjectElement(const char* key, int type, const std::vector<uint64_t>& numbers) {
    if (!addText(key, type, nullptr)) {
        return false;
    }
    pugi::xml_node list = m_document->document_element().last_child();
    list.append_attribute("Size").set_value(static_cast<unsigned long long>(numbers.size()));
    const char* childName = ListChildName(type);
    for (const uint64_t number : numbers) {
        list.append_child(childName)
            .append_child(pugi::node_pcdata)
            .set_value(std::to_string(number).c_str());
    }
    return true;
}

bool TCFXDataWriter::addObjectElement(const char* key, int type, const std::vector<ListItem>& items) {
    if (!addText(key, type, nullptr)) {
        return false;
    }
    pugi::xml_node list = m_document->document_element().last_child();
    list.append_attribute("Size").set_value(static_cast<unsigned long long>(items.size()));
    for (const ListItem& item : items) {
        pugi::xml_node entry = list.append_child("LISTLISTITEM");
        entry.append_attribute("Index").set_value(item.Value);
        entry.append_attribute("Text").set_value(TCFXDataManager::string_to_hex(item.Text).c_str());
    }
    return true;
}

std::string TCFXDataWriter::saveToString() const {
    // Appending to a string directly: a string stream's growth copies the text over and over.
    struct StringWriter : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    };
    StringWriter writer;
    if (m_document) {
        m_document->save(writer);
    }
    return std::move(writer.text);
}

bool TCFXDataWriter::saveToFile(const std::string& path) const {
    static constexpr const char* kWhere = "TCFXDataWriter::saveToFile";
    if (!m_document || m_failed) {
        Log::WriteLog(kWhere, "Incomplete document not saved");
        return false;
    }
    const std::string content = saveToString();
    std::unique_ptr<TempFile> temp = CreateTempFileNextTo(path);
    if (!temp) {
        return false;
    }
    if (!WriteAll(temp->fd(), content) || ::fsync(temp->fd()) != 0 || !temp->close()) {
        Log::WriteLogP(kWhere, "Writing %s failed: %s", temp->path().c_str(), std::strerror(errno));
        return false;
    }
    if (::rename(temp->path().c_str(), path.c_str()) != 0) {
        Log::WriteLogP(kWhere, "Cannot replace %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    temp->keep();
    SyncDirectoryOf(path);
    return true;
}
