#include "tests/output/StoreCrashLab.h"

#include "base/GetLessionInfo.h"
#include "base/MediaFrame.h"
#include "output/LessonStoreFormat.h"
#include "output/ReadAV.h"
#include "output/SaveAV.h"
#include "tests/output/StoreLabIO.h"
#include "tests/output/StoreTestKit.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace tavrin::test {

namespace {

constexpr int32_t kLesson = 4711;
// Disks promise only that a 512-byte sector is written whole.
constexpr uint64_t kPage = 512;
constexpr uint32_t kRecordOnBase = 5000000;

// The frame types of one pushed second, in pushing order (as PushSecond).
std::vector<uint8_t> SecondOrder() {
    std::vector<uint8_t> order;
    int audio = 0;
    for (int picture = 0; picture < 25; ++picture) {
        order.push_back(picture == 0 ? kFrameH264Key : kFrameH264);
        for (; audio < (picture + 1) * 47 / 25; ++audio) {
            order.push_back(kFrameAAC);
        }
    }
    return order;
}

struct TFileImage {
    static constexpr uint64_t kImagePage = 4096;
    bool exists = false;
    uint64_t size = 0; // as the file system reports it
    // The pages written; the rest reads as zeros (av.dat is 2 GB).
    std::map<uint64_t, std::vector<uint8_t>> pages;

    void Write(uint64_t offset, const uint8_t* data, size_t n) {
        while (n > 0) {
            const uint64_t page = offset / kImagePage;
            const size_t at = size_t(offset % kImagePage);
            const size_t take = std::min(n, size_t(kImagePage) - at);
            auto& bytes = pages[page];
            bytes.resize(kImagePage);
            std::memcpy(bytes.data() + at, data, take);
            size = std::max(size, offset + take);
            offset += take;
            data += take;
            n -= take;
        }
    }
    void Truncate(uint64_t newSize) {
        size = newSize;
        for (auto it = pages.begin(); it != pages.end();) {
            const uint64_t from = it->first * kImagePage;
            if (from >= newSize) {
                it = pages.erase(it);
                continue;
            }
            if (from + kImagePage > newSize) {
                std::fill(it->second.begin() + ptrdiff_t(newSize - from), it->second.end(), 0);
            }
            ++it;
        }
    }
    void Apply(const TStoreOp& op) {
        switch (op.kind) {
        case TStoreOp::Truncate:
            Truncate(op.size);
            break;
        case TStoreOp::Allocate:
            size = std::max(size, op.size);
            break;
        case TStoreOp::Write:
            Write(op.offset, op.data.data(), op.data.size());
            break;
        default:
            break;
        }
    }
    void Read(uint64_t offset, void* out, size_t n) const {
        auto* dst = static_cast<uint8_t*>(out);
        std::memset(dst, 0, n);
        for (size_t i = 0; i < n; ++i) {
            const auto it = pages.find((offset + i) / kImagePage);
            if (it != pages.end()) {
                dst[i] = it->second[size_t((offset + i) % kImagePage)];
            }
        }
    }
};

// What each file looks like on the disk and in the page cache at one moment.
struct TDiskState {
    std::vector<TFileImage> durable;
    std::vector<std::vector<const TStoreOp*>> pending; // unsynced, in order
    std::vector<bool> nameDurable;
    std::vector<bool> namePending;

    explicit TDiskState(size_t files)
        : durable(files), pending(files), nameDurable(files, true), namePending(files, false) {}

    void Step(const TStoreOp& op) {
        switch (op.kind) {
        case TStoreOp::Create:
            nameDurable[size_t(op.file)] = false;
            namePending[size_t(op.file)] = true;
            durable[size_t(op.file)] = TFileImage{};
            pending[size_t(op.file)].clear();
            break;
        case TStoreOp::Sync:
            for (const TStoreOp* p : pending[size_t(op.file)]) {
                durable[size_t(op.file)].Apply(*p);
            }
            pending[size_t(op.file)].clear();
            break;
        case TStoreOp::SyncDir:
            for (size_t f = 0; f < nameDurable.size(); ++f) {
                if (namePending[f]) {
                    nameDurable[f] = true;
                    namePending[f] = false;
                }
            }
            break;
        default:
            pending[size_t(op.file)].push_back(&op);
            break;
        }
    }

    // variant 0: nothing unsynced reached the disk; 1: all of it; else a
    // seeded choice per page, per size change and per new name.
    TFileImage Image(size_t f, int variant, std::mt19937& rng) const {
        TFileImage img = durable[f];
        const bool some = variant >= 2;
        img.exists = nameDurable[f] || (namePending[f] && (variant == 1 || (some && rng() % 2)));
        if (!img.exists || variant == 0) {
            return img;
        }
        if (variant == 1) {
            for (const TStoreOp* p : pending[f]) {
                img.Apply(*p);
            }
            return img;
        }
        std::vector<const TStoreOp*> sizes;
        std::map<uint64_t, std::vector<const TStoreOp*>> pages;
        for (const TStoreOp* p : pending[f]) {
            if (p->kind != TStoreOp::Write) {
                sizes.push_back(p);
                continue;
            }
            for (uint64_t page = p->offset / kPage; page * kPage < p->offset + p->data.size();
                 ++page) {
                pages[page].push_back(p);
            }
        }
        const size_t sizeSteps = rng() % (sizes.size() + 1);
        for (size_t i = 0; i < sizeSteps; ++i) {
            img.Apply(*sizes[i]);
        }
        for (const auto& [page, writes] : pages) {
            const size_t upTo = rng() % (writes.size() + 1);
            const uint64_t from = page * kPage;
            const uint64_t to = from + kPage;
            for (size_t i = 0; i < upTo; ++i) {
                const TStoreOp& w = *writes[i];
                const uint64_t a = std::max(from, w.offset);
                const uint64_t b = std::min(to, w.offset + w.data.size());
                img.Write(a, w.data.data() + (a - w.offset), size_t(b - a));
            }
        }
        return img;
    }
};

bool WriteImageFile(const std::string& path, const TFileImage& img) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::ftruncate(fd, off_t(img.size)) == 0; // sparse: reads as zeros
    for (const auto& [page, bytes] : img.pages) {
        const uint64_t at = page * TFileImage::kImagePage;
        const size_t n =
            size_t(std::min<uint64_t>(bytes.size(), img.size - std::min(img.size, at)));
        ok = ok && (n == 0 || ::pwrite(fd, bytes.data(), n, off_t(at)) == ssize_t(n));
    }
    ::close(fd);
    return ok;
}

void PushSeconds(TSaveAV& rec, uint32_t firstSeq, int seconds, TLabStoreIO* io, int closedBefore,
                 bool durable) {
    uint32_t seq = firstSeq;
    for (int s = 0; s < seconds; ++s) {
        if (io != nullptr) {
            // As in a lesson, a second passes between closes: the previous
            // block's flush round has ended before the next block closes.
            while (durable && rec.DurableBlocks() < closedBefore + s - 1 && !rec.StoreBroken()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            // This second's key frame closes the block before it.
            io->SetMark(closedBefore + s);
        }
        PushSecond(rec, seq);
    }
}

// Blocks 0.. of the reader's table that hold exactly the frames pushed for
// them, in order; damaged counts table entries that do not.
struct TBlockCheck {
    int table = 0;
    int intactPrefix = 0;
    int damaged = 0;
    std::vector<bool> intact;
};

TBlockCheck CheckBlocks(TReadAV& reader, const std::vector<uint32_t>& firstSeqOfBlock) {
    static const std::vector<uint8_t> order = SecondOrder();
    TBlockCheck check;
    check.table = int(Blocks(reader).size());
    std::vector<std::vector<TStoreReadBack::Item>> byBlock(size_t(check.table));
    const TStoreReadBack back = ReadAll(reader, true);
    for (const auto& item : back.frames) {
        if (item.block >= 0 && item.block < check.table) {
            byBlock[size_t(item.block)].push_back(item);
        }
    }
    check.intact.assign(size_t(check.table), false);
    for (int k = 0; k < check.table; ++k) {
        const auto& frames = byBlock[size_t(k)];
        bool ok = size_t(k) < firstSeqOfBlock.size() && frames.size() == order.size();
        for (size_t i = 0; ok && i < frames.size(); ++i) {
            ok = frames[i].type == order[i] &&
                 frames[i].seq == int64_t(firstSeqOfBlock[size_t(k)] + i);
        }
        check.intact[size_t(k)] = ok;
        if (!ok) {
            ++check.damaged;
        }
    }
    while (check.intactPrefix < check.table && check.intact[size_t(check.intactPrefix)]) {
        ++check.intactPrefix;
    }
    return check;
}

int32_t CounterBlocks(const TFileImage& index) {
    int32_t n = 0;
    if (index.exists && index.size >= kIndexTableOffset) {
        index.Read(kIndexCountOffset + 8, &n, 4);
    }
    return n;
}

} // namespace

TCrashLabResult RunCrashLab(const TCrashLabOptions& options) {
    TCrashLabResult result;
    const std::string liveRoot = options.workDir + "/live";
    const std::string imageRoot = options.workDir + "/image";
    const size_t perSecond = SecondOrder().size();

    // 1. A new lesson recorded over the logging layer: the log must hold
    // every byte of the store.
    std::error_code cleared;
    std::filesystem::remove_all(liveRoot, cleared);
    TLabStoreIO io;
    {
        TGetLessionInfo paths;
        paths.initialize(liveRoot, "1001");
        TSaveAV rec;
        rec.SetStoreIO(io);
        rec.SetDurable(options.durable);
        rec.Create(paths);
        if (rec.NewLession(kLesson, 1280, 720) != TSaveAV::kNewOK) {
            result.firstProblem = "the lesson could not be prepared";
            return result;
        }
        rec.SetCaptureState(true);
        PushSeconds(rec, 0, options.seconds, &io, 0, options.durable);
        // The last block ends a second after the one before it, too.
        while (options.durable && rec.DurableBlocks() < options.seconds - 1 && !rec.StoreBroken()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        io.SetMark(options.seconds);
        rec.EndLession();
    }
    const std::vector<TStoreOp> log = io.TakeLog();
    const std::vector<std::string> files = io.Files();
    result.logOps = int(log.size());
    int indexFile = -1;
    for (size_t f = 0; f < files.size(); ++f) {
        if (files[f].ends_with("index.dat")) {
            indexFile = int(f);
        }
    }

    // 2. The moments a power cut is tried: just before and just after every sync.
    std::set<size_t> cuts{log.size()};
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].kind == TStoreOp::Sync || log[i].kind == TStoreOp::SyncDir) {
            ++result.syncs;
            cuts.insert(i);
            cuts.insert(i + 1);
        }
    }

    std::vector<uint32_t> firstSeq;
    for (int s = 0; s < options.seconds; ++s) {
        firstSeq.push_back(uint32_t(size_t(s) * perSecond));
    }
    TDiskState disk(files.size());
    size_t applied = 0;
    int image = 0;
    const auto problem = [&result](const std::string& what) {
        if (result.firstProblem.empty()) {
            result.firstProblem = what;
        }
    };
    for (const size_t cut : cuts) {
        for (; applied < cut; ++applied) {
            disk.Step(log[applied]);
        }
        ++result.crashPoints;
        const int closed = cut == 0 ? 0 : log[cut - 1].closedBlocks;
        const int promised = indexFile >= 0 && disk.nameDurable[size_t(indexFile)]
                                 ? CounterBlocks([&] {
                                       TFileImage d = disk.durable[size_t(indexFile)];
                                       d.exists = true;
                                       return d;
                                   }())
                                 : 0;
        for (int variant = 0; variant < options.subsets; ++variant, ++image) {
            ++result.images;
            std::mt19937 rng(options.seed * 7919u + uint32_t(cut) * 131u + uint32_t(variant));
            std::error_code ec;
            std::filesystem::remove_all(imageRoot, ec);
            for (size_t f = 0; f < files.size(); ++f) {
                const TFileImage img = disk.Image(f, variant, rng);
                if (img.exists) {
                    WriteImageFile(imageRoot + files[f].substr(liveRoot.size()), img);
                }
            }
            const std::string where = "cut " + std::to_string(cut) + "/" +
                                      std::to_string(log.size()) + " variant " +
                                      std::to_string(variant);
            TGetLessionInfo paths;
            paths.initialize(imageRoot, "1001");
            TBlockCheck before;
            {
                TReadAV reader;
                reader.initialize(paths);
                if (reader.OpenLession(kLesson) == TReadAV::kOpenOK) {
                    before = CheckBlocks(reader, firstSeq);
                }
            }
            const int lost = std::max(0, closed - before.intactPrefix);
            const int inFlight = std::min(lost, std::max(0, closed - promised));
            result.blocksLost += lost;
            result.maxLostAtOneCut = std::max(result.maxLostAtOneCut, lost);
            if (variant == 1 && lost > 0) {
                result.killLost += lost;
                problem(where + ": every write on the disk, yet " + std::to_string(lost) +
                        " closed blocks lost");
            }
            result.blocksInFlight += inFlight;
            if (promised > before.intactPrefix) {
                result.durableLost += promised - before.intactPrefix;
                problem(where + ": " + std::to_string(promised) + " blocks durable, " +
                        std::to_string(before.intactPrefix) + " read back");
            }
            if (before.damaged > 0) {
                result.damagedVisible += before.damaged;
                problem(where + ": " + std::to_string(before.damaged) + " damaged blocks");
            }
            if (image % std::max(1, options.recordOnEvery) != 0) {
                continue;
            }
            // 3. The store opens and records on after what it kept.
            ++result.recordOnTried;
            bool ok = false;
            {
                TSaveAV rec;
                rec.Create(paths);
                if (rec.NewLession(kLesson, 1280, 720) == TSaveAV::kNewOK) {
                    rec.SetCaptureState(true);
                    PushSeconds(rec, kRecordOnBase, 2, nullptr, 0, true);
                    rec.EndLession();
                    ok = true;
                }
            }
            if (ok) {
                std::vector<uint32_t> expected(firstSeq.begin(), firstSeq.begin() + before.table);
                expected.push_back(kRecordOnBase);
                expected.push_back(kRecordOnBase + uint32_t(perSecond));
                TReadAV reader;
                reader.initialize(paths);
                ok = reader.OpenLession(kLesson) == TReadAV::kOpenOK;
                if (ok) {
                    const TBlockCheck after = CheckBlocks(reader, expected);
                    ok = after.table == before.table + 2 && after.intactPrefix == after.table;
                }
            }
            if (!ok) {
                ++result.recordOnFailures;
                problem(where + ": the store did not record on");
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(imageRoot, ec);
    return result;
}

} // namespace tavrin::test
