// The contract's scratch on the system's own files.
#include <filesystem>

#include "platform_contract.h"
#include "test_support.h"

namespace {

fs::path Path(const ContractPath& path) {
    std::u16string text(path.begin(), path.end());
#ifndef _WIN32
    for (char16_t& c : text)
        if (c == u'\\') c = u'/';  // as the POSIX backend takes paths
#endif
    return fs::path(text);
}

class RealScratch : public ContractScratch {
public:
    ContractPath Folder() override { return Wide(dir_.path()); }
    void MakeFolder(const ContractPath& path) override { fs::create_directory(Path(path)); }
    void SetReadOnly(const ContractPath& path) override {
        fs::permissions(Path(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    uint64_t LastWrite(const ContractPath& path) override { return LastWriteTicks(Path(path)); }
    bool WindowsNaming() const override {
#ifdef _WIN32
        return true;
#else
        return false;
#endif
    }

private:
    TempDir dir_;
};

}  // namespace

std::unique_ptr<ContractScratch> MakeContractScratch() { return std::make_unique<RealScratch>(); }
