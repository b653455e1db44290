#include "pack.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>

#include "package_plan.h"
#include "pe_signature.h"
#include "support/ascii.h"
#include "platform/calendar.h"

namespace fs = std::filesystem;

namespace {

FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + strlen(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return fopen(path.c_str(), mode);
#endif
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Sums the bytes of every entry: the archive header must carry the checksum
// before any data.
std::string SumEntries(const std::vector<PackageEntry>& entries, std::vector<uint64_t>* sums) {
    std::vector<uint8_t> buffer(1 << 16);
    for (const PackageEntry& entry : entries) {
        File in(OpenFile(entry.source, "rb"));
        if (!in) return "cannot read " + entry.source.u8string() + ": " + strerror(errno);
        uint64_t sum = 0, size = 0;
        while (size_t got = fread(buffer.data(), 1, buffer.size(), in.get())) {
            for (size_t i = 0; i < got; ++i) sum += buffer[i];
            size += got;
        }
        if (ferror(in.get())) return "cannot read " + entry.source.u8string() + ": " + strerror(errno);
        if (size != entry.size) return entry.source.u8string() + " changed while being packed";
        sums->push_back(sum);
    }
    return std::string();
}

// Produces the archive stream for the encoder: the header, then each entry's
// header and stored data, read file by file.
class ArchiveProducer {
public:
    ArchiveProducer(const std::vector<PackageEntry>& entries, const std::vector<uint64_t>& sums, Bytes header)
        : entries_(entries), sums_(sums), pending_(std::move(header)) {}

    bool Produce(uint8_t* buffer, size_t room, size_t* produced) {
        *produced = 0;
        while (*produced < room) {
            if (pendingAt_ < pending_.size()) {
                size_t n = std::min(room - *produced, pending_.size() - pendingAt_);
                memcpy(buffer + *produced, pending_.data() + pendingAt_, n);
                pendingAt_ += n;
                *produced += n;
                continue;
            }
            if (file_) {
                if (!ReadData(buffer, room, produced)) return false;
                continue;
            }
            if (next_ == entries_.size()) return true;
            if (!StartEntry()) return false;
        }
        return true;
    }

    const std::string& error() const { return error_; }

private:
    bool StartEntry() {
        const PackageEntry& entry = entries_[next_];
        pending_.clear();
        pendingAt_ = 0;
        AppendStoredNumber(pending_, static_cast<uint32_t>(entry.size));
        AppendStoredText(pending_, entry.name);
        file_.reset(OpenFile(entry.source, "rb"));
        if (!file_) return Fail("cannot read " + entry.source.u8string() + ": " + strerror(errno));
        left_ = entry.size;
        sum_ = 0;
        return true;
    }

    bool ReadData(uint8_t* buffer, size_t room, size_t* produced) {
        const PackageEntry& entry = entries_[next_];
        size_t want = static_cast<size_t>(std::min<uint64_t>(room - *produced, left_));
        size_t got = want ? fread(buffer + *produced, 1, want, file_.get()) : 0;
        if (got < want) return Fail(ferror(file_.get()) ? "cannot read " + entry.source.u8string()
                                                        : entry.source.u8string() + " changed while being packed");
        for (size_t i = 0; i < got; ++i) {
            uint8_t& b = buffer[*produced + i];
            sum_ += b;
            b = static_cast<uint8_t>(b - 77);  // stored form
        }
        *produced += got;
        left_ -= got;
        if (left_ == 0) {
            bool grew = fgetc(file_.get()) != EOF;
            file_.reset();
            if (grew || sum_ != sums_[next_]) return Fail(entry.source.u8string() + " changed while being packed");
            ++next_;
        }
        return true;
    }

    bool Fail(const std::string& message) {
        error_ = message;
        return false;
    }

    const std::vector<PackageEntry>& entries_;
    const std::vector<uint64_t>& sums_;
    Bytes pending_;
    size_t pendingAt_ = 0;
    size_t next_ = 0;
    File file_;
    uint64_t left_ = 0;
    uint64_t sum_ = 0;
    std::string error_;
};

class ProgressLine {
public:
    ProgressLine(bool enabled, uint64_t total) : enabled_(enabled), total_(total), start_(Clock::now()) {}
    ~ProgressLine() {
        if (enabled_ && shown_) fputs("\n", stderr);
    }
    void Report(uint64_t done) {
        if (!enabled_) return;
        auto now = Clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(200) && done < total_) return;
        last_ = now;
        shown_ = true;
        double seconds = std::chrono::duration<double>(now - start_).count();
        double rate = seconds > 0 ? done / seconds / 1048576.0 : 0;
        fprintf(stderr, "\r  packed %.1f of %.1f MiB (%3d%%), %.1f MiB/s   ", done / 1048576.0,
                total_ / 1048576.0, total_ ? static_cast<int>(done * 100 / total_) : 100, rate);
        fflush(stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    uint64_t total_;
    Clock::time_point start_, last_;
    bool shown_ = false;
};

std::string ReadStub(const fs::path& path, Bytes* stub) {
    File in(OpenFile(path, "rb"));
    if (!in) return "cannot read the stub " + path.u8string() + ": " + strerror(errno);
    uint8_t buffer[65536];
    while (size_t got = fread(buffer, 1, sizeof buffer, in.get())) stub->insert(stub->end(), buffer, buffer + got);
    if (ferror(in.get())) return "cannot read the stub " + path.u8string();
    if (stub->empty()) return "the stub " + path.u8string() + " is empty";
    // The payload goes behind the stub's end, where Windows wants the
    // certificate table; a stub signed before packing makes a setup whose
    // signature no longer covers it, shown as damaged.
    auto readAt = [stub](uint64_t offset, uint8_t* buffer, uint32_t count) {
        if (offset > stub->size() || stub->size() - offset < count) return false;
        memcpy(buffer, stub->data() + offset, count);
        return true;
    };
    if (HasCertificateTable(readAt, stub->size()))
        return "the stub " + path.u8string() + " is signed; pack the unsigned stub and sign the finished setup file";
    return std::string();
}

std::string HeaderFields(const PackOptions& options, ArchiveHeaderFields* header) {
    std::string error = StorableText(options.productCode, "product code", 3, &header->productCode);
    if (error.empty()) error = StorableText(options.windowClass, "window class", 31, &header->windowClass);
    if (error.empty()) error = StorableText(options.mainProgram, "main program", 31, &header->mainProgram);
    if (error.empty()) error = CheckPackageDate(options.year, options.month, options.day);
    header->date = PackageDateValue(options.year, options.month, options.day);
    return error;
}

// Writes prefix and stream into `temporary`; the caller renames or removes it.
std::string WriteSetup(const PackOptions& options, const fs::path& temporary, const Bytes& prefix,
                       const std::vector<PackageEntry>& entries, const std::vector<uint64_t>& sums,
                       const Bytes& header, uint64_t unpacked) {
    File out(OpenFile(temporary, "wb"));
    if (!out) return "cannot create " + temporary.u8string() + ": " + strerror(errno);
    std::string writeError;
    ByteWriter write = [&](const uint8_t* data, size_t size) {
        if (fwrite(data, 1, size, out.get()) == size) return true;
        writeError = "cannot write " + temporary.u8string() + ": " + strerror(errno);
        return false;
    };
    if (!write(prefix.data(), prefix.size())) return writeError;
    ArchiveProducer producer(entries, sums, header);
    StreamProducer produce = [&](uint8_t* buffer, size_t room, size_t* produced) {
        return producer.Produce(buffer, room, produced);
    };
    ProgressLine line(options.progress, unpacked);
    ProgressReport progress = [&](uint64_t in, uint64_t) { line.Report(in); };
    std::string error = EncodeLzmaStream(produce, static_cast<uint32_t>(unpacked), options.lzma, write, progress);
    if (!producer.error().empty()) return producer.error();
    if (!writeError.empty()) return writeError;
    if (!error.empty()) return error;
    if (fflush(out.get()) != 0 || ferror(out.get())) return "cannot write " + temporary.u8string();
    if (fclose(out.release()) != 0) return "cannot write " + temporary.u8string();
    // The installer reads its own file's size in 32 bits.
    std::error_code ec;
    uint64_t size = fs::file_size(temporary, ec);
    if (!ec && size > 0xFFFFFFFFull)
        return "the setup file would be " + std::to_string(size) + " bytes; a setup file must stay below 4 GiB";
    line.Report(unpacked);
    return std::string();
}

}  // namespace

std::string CheckPackageDate(int year, int month, int day) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    if (year < 2012) return std::string("the date ") + text + " lies before 2012, where setup files begin to count";
    if (year > 9999 || !IsCalendarDate(year, month, day))
        return std::string("the date ") + text + " is not a calendar date";
    return std::string();
}

// What a product folder usually has, missing or misnamed.
void WarnAboutProduct(const PackOptions& options, const std::vector<PackageEntry>& entries,
                      std::vector<std::string>* warnings) {
    if (!warnings) return;
    auto has = [&](const std::string& fileName) {
        std::string wanted = fileName;
        for (char& c : wanted) c = UpperAscii(c);
        for (const PackageEntry& e : entries) {
            std::string name = e.name.substr(e.name.rfind('\\') == std::string::npos ? 0 : e.name.rfind('\\') + 1);
            for (char& c : name) c = UpperAscii(c);
            if (name == wanted) return true;
        }
        return false;
    };
    if (!options.mainProgram.empty() && !has(options.mainProgram))
        warnings->push_back("--main-program names " + options.mainProgram +
                            ", but no packed file has that name: there will be no shortcuts");
    if (!has("UnInst.exe")) warnings->push_back("no UnInst.exe: the product will not be registered for uninstalling");
    bool description = false;
    for (const PackageEntry& e : entries) {
        std::string name = e.name;
        for (char& c : name) c = UpperAscii(c);
        description = description || name == "FILE_ID.DIZ";
    }
    if (!description)
        warnings->push_back("no FILE_ID.DIZ at the root: the dialog will show no product name, and the product no "
                            "program group");
}

std::string PackSetup(const PackOptions& options, std::vector<std::string>* warnings) {
    ArchiveHeaderFields fields;
    std::string error = HeaderFields(options, &fields);
    if (!error.empty()) return error;
    Bytes stub, prefix;
    error = ReadStub(options.stub, &stub);
    if (error.empty()) error = ContainerPrefix(stub, &prefix);
    if (!error.empty()) return error;

    std::vector<PackageEntry> entries;
    fs::path temporary = options.output;
    temporary += ".partial";
    error = PlanPackage(options.folder, options.orderFile, &entries, {options.output, temporary}, warnings);
    if (!error.empty()) return error;
    WarnAboutProduct(options, entries, warnings);
    std::vector<uint64_t> sums;
    error = SumEntries(entries, &sums);
    if (!error.empty()) return error;

    uint64_t unpacked = ArchiveHeaderSize(fields);
    uint32_t checksum = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        unpacked += EntryHeaderSize(entries[i].name) + entries[i].size;
        checksum += EntryChecksum(static_cast<uint32_t>(i + 1), entries[i].name, entries[i].size, sums[i]);
    }
    if (unpacked > 0xFFFFFFFFull)
        return "the archive would hold " + std::to_string(unpacked) + " bytes; a setup file holds at most 4294967295";
    fields.checksum = checksum;
    Bytes header;
    AppendArchiveHeader(header, fields);

    error = WriteSetup(options, temporary, prefix, entries, sums, header, unpacked);
    std::error_code ec;
    if (error.empty()) {
        fs::rename(temporary, options.output, ec);
#ifdef _WIN32
        if (ec) {  // some runtimes will not rename over an existing file
            fs::remove(options.output, ec);
            fs::rename(temporary, options.output, ec);
        }
#endif
        if (ec) error = "cannot write " + options.output.u8string() + ": " + ec.message();
    }
    if (!error.empty()) fs::remove(temporary, ec);
    return error;
}
