// The contract's scratch in memory: a fresh file system for every test.
#include "platform/memory_files.h"
#include "platform_contract.h"

namespace {

class MemoryScratch : public ContractScratch {
public:
    MemoryScratch() {
        MemoryFilesReset();
        MemoryFolderCreate(Folder().c_str());
    }
    ContractPath Folder() override { return u"C:\\scratch"; }
    void MakeFolder(const ContractPath& path) override { MemoryFolderCreate(path.c_str()); }
    void SetReadOnly(const ContractPath& path) override { MemoryFileSetReadOnly(path.c_str(), true); }
    uint64_t LastWrite(const ContractPath& path) override {
        MemoryFile file;
        return MemoryFileLoad(path.c_str(), &file) ? file.lastWrite : 0;
    }
    bool WindowsNaming() const override { return true; }
};

}  // namespace

std::unique_ptr<ContractScratch> MakeContractScratch() { return std::make_unique<MemoryScratch>(); }
