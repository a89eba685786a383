// The setup's small records besides the items: header text lines, the printer's ordered id list, and
// the links that show, hide or disable one item depending on the value of another, with the rule that
// turns a value change into view operations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class SetupItemType;
class TCFXDataReader;
class TCFXDataWriter;

class SetupItemHeader {
public:
    void AddTextLine(std::string_view line);
    const std::vector<std::string>& GetTextLines() const { return m_lines; }

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<SetupItemHeader> Serialize_Load(const TCFXDataReader& reader,
                                                           const std::string& version);

private:
    std::vector<std::string> m_lines;
};

class SetupItemIDList {
public:
    // Duplicates are kept, as the printer sent them.
    void AddID(uint64_t id) { m_ids.push_back(id); }
    const std::vector<uint64_t>& GetIDs() const { return m_ids; }

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<SetupItemIDList> Serialize_Load(const TCFXDataReader& reader,
                                                           const std::string& version);

private:
    std::vector<uint64_t> m_ids;
};

// View operations of a link.
enum LinkViewOperation : int32_t {
    LINK_VIEW_SHOW = 0,
    LINK_VIEW_HIDE = 1,
    LINK_VIEW_DISABLE = 2,
};

struct LinkViewState {
    bool Visible = true;
    bool Enabled = true;
    bool operator==(const LinkViewState&) const = default;
};

// Hidden widgets stay enabled; unknown operations show and enable.
LinkViewState LinkViewStateOf(int32_t operation);

class SetupItemLink {
public:
    SetupItemLink() = default;
    SetupItemLink(uint64_t idDst, uint64_t idSrc, int32_t foundOp, int32_t failOp, int32_t valueToCheck)
        : m_idDst(idDst), m_idSrc(idSrc), m_viewFoundOp(foundOp), m_viewFailOp(failOp),
          m_valueToCheck(valueToCheck) {}

    uint64_t GetIdDst() const { return m_idDst; }
    void SetIdDst(uint64_t id) { m_idDst = id; }
    uint64_t GetIdSrc() const { return m_idSrc; }
    void SetIdSrc(uint64_t id) { m_idSrc = id; }
    int32_t GetViewFoundOp() const { return m_viewFoundOp; }
    void SetViewFoundOp(int32_t op) { m_viewFoundOp = op; }
    int32_t GetViewFailOp() const { return m_viewFailOp; }
    void SetViewFailOp(int32_t op) { m_viewFailOp = op; }
    int32_t GetValueToCheck() const { return m_valueToCheck; }
    void SetValueToCheck(int32_t v) { m_valueToCheck = v; }

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const;
    static std::unique_ptr<SetupItemLink> Serialize_Load(const TCFXDataReader& reader,
                                                         const std::string& version, int index);

private:
    uint64_t m_idDst = 0;
    uint64_t m_idSrc = 0;
    int32_t m_viewFoundOp = 0;
    int32_t m_viewFailOp = 0;
    int32_t m_valueToCheck = 0;
};

class SetupItemLinkList {
public:
    void AddLink(std::unique_ptr<SetupItemLink> link);
    const std::vector<std::unique_ptr<SetupItemLink>>& GetLinks() const { return m_links; }
    size_t Size() const { return m_links.size(); }

private:
    std::vector<std::unique_ptr<SetupItemLink>> m_links;
};

// One view operation to apply to a destination item; the caller ignores ids it shows no widget for.
struct LinkAction {
    uint64_t IdDst = 0;
    int32_t ViewOp = 0;
    bool operator==(const LinkAction&) const = default;
};

// The operations that a change of `source` to `value` causes, in the order they are to be applied:
// first the found operation of every link whose value matches, then the fail operation of each other
// link whose destination no link matched. Only list items are link sources.
std::vector<LinkAction> EvaluateLinks(const SetupItemLinkList& links, const SetupItemType& source,
                                      int32_t value);
