#include "platform/sim/sim_file_system.h"

#include <algorithm>
#include <cstring>

namespace sim {

using namespace platform;

namespace {

class SimFile final : public File {
public:
    SimFile(std::shared_ptr<SimFileSystem::Node> node, OpenMode mode, std::shared_ptr<int64_t> clock)
        : node_(std::move(node)), mode_(mode), clock_(std::move(clock)) {
        node_->openByProgram = true;
    }
    ~SimFile() override { node_->openByProgram = false; }

    size_t Read(void* buffer, size_t count) override {
        if (mode_ != OpenMode::Read || position_ >= node_->contents.size()) return 0;
        const size_t n = std::min(count, node_->contents.size() - position_);
        std::memcpy(buffer, node_->contents.data() + position_, n);
        position_ += n;
        return n;
    }

    bool Write(const void* data, size_t count) override {
        if (mode_ != OpenMode::CreateWrite || !Fits(count)) return false;
        if (node_->contents.size() < position_ + count) node_->contents.resize(position_ + count);
        if (count > 0) std::memcpy(node_->contents.data() + position_, data, count);
        position_ += count;
        ++node_->writes;
        node_->modified = ++*clock_;
        return true;
    }

    uint64_t Length() override { return node_->contents.size(); }

private:
    bool Fits(size_t count) const {
        return position_ <= node_->sizeLimit && count <= node_->sizeLimit - position_;
    }

    std::shared_ptr<SimFileSystem::Node> node_;
    OpenMode mode_;
    std::shared_ptr<int64_t> clock_;
    size_t position_ = 0;
};

}  // namespace

std::unique_ptr<File> SimFileSystem::OpenExclusive(const std::string& path, OpenMode mode) {
    const std::string fullPath = Resolve(path);
    if (Busy(fullPath)) return nullptr;
    const Access access = AccessOf(fullPath);
    std::shared_ptr<Node> node = Lookup(fullPath);
    if (mode == OpenMode::Read) {
        if (!node || access.unreadable) return nullptr;
        return std::make_unique<SimFile>(node, mode, clock_);
    }
    if (access.unwritable || (!node && !FolderExistsFor(fullPath))) return nullptr;
    if (!node) node = files_[fullPath] = NewNode();
    node->contents.clear();
    node->sizeLimit = access.sizeLimit;
    node->modified = Now();
    return std::make_unique<SimFile>(node, mode, clock_);
}

bool SimFileSystem::DeleteFile(const std::string& path) {
    const std::string fullPath = Resolve(path);
    if (!Lookup(fullPath) || Busy(fullPath) || AccessOf(fullPath).unwritable) return false;
    files_.erase(fullPath);
    return true;
}

std::optional<std::string> SimFileSystem::ReadWholeFile(const std::string& path) {
    const std::string fullPath = Resolve(path);
    ++reads_[fullPath];
    const std::shared_ptr<Node> node = Lookup(fullPath);
    // Reading shares with other readers, but not with an exclusive holder.
    if (!node || Busy(fullPath) || AccessOf(fullPath).unreadable) return std::nullopt;
    return node->contents;
}

bool SimFileSystem::ReplaceWholeFile(const std::string& path, const std::string& contents) {
    const std::string fullPath = Resolve(path);
    if (Busy(fullPath) || AccessOf(fullPath).unwritable || !FolderExistsFor(fullPath)) return false;
    // A new file takes the old one's place, as a rename over it would.
    std::shared_ptr<Node> node = NewNode();
    if (const std::shared_ptr<Node> old = Lookup(fullPath)) node->writes = old->writes;
    node->contents = contents;
    ++node->writes;
    files_[fullPath] = node;
    return true;
}

std::optional<FileStamp> SimFileSystem::Stamp(const std::string& path) {
    const std::string fullPath = Resolve(path);
    const std::shared_ptr<Node> node = Lookup(fullPath);
    if (!node) return std::nullopt;
    const Access access = AccessOf(fullPath);
    constexpr uint32_t ReadBits = 0444, WriteBits = 0222;
    return FileStamp{0, node->inode, node->contents.size(), node->modified, 0,
                     (access.unreadable ? 0 : ReadBits) | (access.unwritable ? 0 : WriteBits)};
}

void SimFileSystem::SetFile(const std::string& path, std::string contents) {
    std::shared_ptr<Node>& node = files_[Resolve(path)];
    if (!node) node = NewNode();
    node->contents = std::move(contents);
    node->modified = Now();
}

void SimFileSystem::RemoveFile(const std::string& path) { files_.erase(Resolve(path)); }

void SimFileSystem::SetUnreadable(const std::string& path, bool unreadable) {
    access_[Resolve(path)].unreadable = unreadable;
}

void SimFileSystem::SetUnwritable(const std::string& path, bool unwritable) {
    access_[Resolve(path)].unwritable = unwritable;
}

void SimFileSystem::HoldOpenElsewhere(const std::string& path, bool held) {
    access_[Resolve(path)].heldElsewhere = held;
}

void SimFileSystem::LimitSize(const std::string& path, size_t bytes) {
    const std::string fullPath = Resolve(path);
    access_[fullPath].sizeLimit = bytes;
    if (const std::shared_ptr<Node> node = Lookup(fullPath)) node->sizeLimit = bytes;
}

bool SimFileSystem::Has(const std::string& path) const { return Lookup(Resolve(path)) != nullptr; }

std::optional<std::string> SimFileSystem::Contents(const std::string& path) const {
    const std::shared_ptr<Node> node = Lookup(Resolve(path));
    if (!node) return std::nullopt;
    return node->contents;
}

std::vector<std::string> SimFileSystem::Paths() const {
    std::vector<std::string> paths;
    for (const auto& entry : files_) paths.push_back(entry.first);
    return paths;
}

bool SimFileSystem::IsOpen(const std::string& path) const {
    const std::shared_ptr<Node> node = Lookup(Resolve(path));
    return node && node->openByProgram;
}

int SimFileSystem::Reads(const std::string& path) const {
    const auto found = reads_.find(Resolve(path));
    return found == reads_.end() ? 0 : found->second;
}

int SimFileSystem::Writes(const std::string& path) const {
    const std::shared_ptr<Node> node = Lookup(Resolve(path));
    return node ? node->writes : 0;
}

std::string SimFileSystem::Resolve(const std::string& path) const {
    if (!path.empty() && path.front() == '/') return path;
    return currentDirectory_ + "/" + path;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::Lookup(const std::string& fullPath) const {
    const auto found = files_.find(fullPath);
    return found == files_.end() ? nullptr : found->second;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::NewNode() {
    auto node = std::make_shared<Node>();
    node->inode = nextInode_++;
    node->modified = Now();
    return node;
}

SimFileSystem::Access SimFileSystem::AccessOf(const std::string& fullPath) const {
    const auto found = access_.find(fullPath);
    return found == access_.end() ? Access{} : found->second;
}

bool SimFileSystem::Busy(const std::string& fullPath) const {
    const std::shared_ptr<Node> node = Lookup(fullPath);
    return AccessOf(fullPath).heldElsewhere || (node && node->openByProgram);
}

bool SimFileSystem::FolderExistsFor(const std::string& fullPath) const {
    const std::string folder = fullPath.substr(0, fullPath.rfind('/') + 1);
    if (currentDirectory_ + "/" == folder || currentDirectory_.starts_with(folder)) return true;
    const auto holder = files_.lower_bound(folder);
    return holder != files_.end() && holder->first.starts_with(folder);
}

}  // namespace sim
