// A fresh directory under the test temporary area, removed with everything in it at scope end.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    void write(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
