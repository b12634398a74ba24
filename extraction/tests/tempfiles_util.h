// Test support for the temporary store and the two-pass read: work files
// on disk whose appends fail once a byte budget is spent (a full disk), and
// a record of what was made.
#pragma once
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "extraction/tempstore.h"

namespace wxtest {

class TLimitedFiles : public wx::ITempFiles {
public:
    // Bytes the disk takes before it is full; -1: no limit.
    std::int64_t budget = -1;
    std::map<std::string, std::uint64_t> largest;  // every file made, with its largest size
    int creates = 0;
    bool failCreate = false;
    // Reads of files whose name ends in `shortReadName` give nothing past
    // byte `shortReadAt` (a read error on the way back).
    std::string shortReadName;
    std::uint64_t shortReadAt = 0;

    std::unique_ptr<wx::ITempFile> Create(const std::string& path) override {
        if (failCreate) return nullptr;
        std::unique_ptr<wx::ITempFile> f = wx::StdioFiles().Create(path);
        if (!f) return nullptr;
        ++creates;
        largest[path];
        return std::make_unique<TFile>(*this, path, std::move(f));
    }
    bool Remove(const std::string& path) override { return wx::StdioFiles().Remove(path); }
    bool Exists(const std::string& path) override { return wx::StdioFiles().Exists(path); }

    // Work files still on disk among those made.
    int Left() const {
        int n = 0;
        for (auto& [p, s] : largest) n += std::filesystem::exists(p) ? 1 : 0;
        return n;
    }

private:
    class TFile : public wx::ITempFile {
    public:
        TFile(TLimitedFiles& owner, std::string path, std::unique_ptr<wx::ITempFile> f)
            : o_(owner), path_(std::move(path)), f_(std::move(f)) {}
        bool Append(const void* data, std::uint32_t length) override {
            std::lock_guard<std::mutex> g(o_.m_);
            if (o_.budget >= 0) {
                if (std::int64_t(length) > o_.budget) {
                    // A short write, as a full disk gives.
                    f_->Append(data, std::uint32_t(o_.budget));
                    size_ += std::uint64_t(o_.budget);
                    o_.budget = 0;
                    o_.largest[path_] = std::max(o_.largest[path_], size_);
                    return false;
                }
                o_.budget -= length;
            }
            if (!f_->Append(data, length)) return false;
            size_ += length;
            o_.largest[path_] = std::max(o_.largest[path_], size_);
            return true;
        }
        std::uint32_t ReadAt(std::uint64_t position, void* data, std::uint32_t length) override {
            const std::string& name = o_.shortReadName;
            if (!name.empty() && path_.size() >= name.size() &&
                path_.compare(path_.size() - name.size(), name.size(), name) == 0 &&
                position + length > o_.shortReadAt)
                length = position < o_.shortReadAt ? std::uint32_t(o_.shortReadAt - position) : 0;
            return f_->ReadAt(position, data, length);
        }
        bool Flush() override { return f_->Flush(); }

    private:
        TLimitedFiles& o_;
        std::string path_;
        std::unique_ptr<wx::ITempFile> f_;
        std::uint64_t size_ = 0;
    };
    std::mutex m_;
};

}  // namespace wxtest
