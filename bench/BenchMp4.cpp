// MP4 export speed. A 10-minute lesson (a 10-second clip of 720p H.264 and
// AAC repeated) is exported in mode 0 with 5-second cards and compared with
// `ffmpeg -c copy` remuxing the same two streams; a 30-second part is
// re-encoded in mode 2 and compared with ffmpeg running libx264 with the
// same settings. The measure is CPU seconds (user + system, every thread):
// the export runs in this process, the reference in a child. Wall seconds
// on a shared machine mostly measure the neighbours. Each comparison runs
// three times, alternating ours and the reference; the medians are printed.
#include "av/AvPtr.h"
#include "base/MediaFrame.h"
#include "bench/BenchUtil.h"
#include "mp4/Mp4Thread.h"
#include "output/LessonStoreFormat.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <vector>

namespace tavrin::bench {
namespace {

using TFrames = std::vector<std::vector<uint8_t>>;

// The units of an elementary stream file as media frames.
TFrames ReadFrames(const std::string& path, const char* format) {
    TFrames frames;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), av_find_input_format(format), nullptr) < 0) {
        return frames;
    }
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(ctx, pkt) >= 0) {
        uint8_t type = kFrameAAC;
        if (ctx->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            type = (pkt->flags & AV_PKT_FLAG_KEY) ? kFrameH264Key : kFrameH264;
        }
        std::vector<uint8_t> f;
        AssignMediaFrame(f, type, 0, {pkt->data, size_t(pkt->size)});
        frames.push_back(std::move(f));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&ctx);
    return frames;
}

// Writes a lesson of `repeats` copies of the clip, one block per second, and
// the same streams as two plain files for the reference.
void WriteLesson(const TGetLessionInfo& paths, int lesson, const TFrames& video,
                 const TFrames& audio, int repeats, const std::string& h264,
                 const std::string& aac) {
    std::string dir, index, data;
    paths.Get_CaptureDir(lesson, dir);
    paths.Get_IndexFile(lesson, index);
    paths.Get_AVDataFile(lesson, data);
    std::filesystem::create_directories(dir);
    std::ofstream av(data, std::ios::binary);
    std::ofstream vf(h264, std::ios::binary);
    std::ofstream af(aac, std::ios::binary);
    std::vector<TIndex_IBlock> table;
    TIndex_Count count{};
    uint32_t pos = 0;
    const auto put = [&](const std::vector<uint8_t>& f) {
        if (f[0] == kFrameH264Key) {
            if (!table.empty()) {
                table.back().Length = pos - table.back().pos;
            }
            table.push_back(TIndex_IBlock{0, 0, pos, 0, 0, 0});
        }
        if (table.empty()) {
            return;
        }
        av.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
        pos += uint32_t(f.size());
        std::ofstream& raw = f[0] == kFrameAAC ? af : vf;
        raw.write(reinterpret_cast<const char*>(f.data()) + kMediaFrameHeadSize,
                  std::streamsize(f.size() - kMediaFrameHeadSize));
        (f[0] == kFrameAAC ? table.back().AudioCount : table.back().VideoCount)++;
        (f[0] == kFrameAAC ? count.AudioCount : count.VideoCount)++;
    };
    for (int r = 0; r < repeats; ++r) {
        size_t a = 0;
        for (size_t v = 0; v < video.size(); ++v) {
            put(video[v]);
            for (; a < audio.size() && double(a) * 1024 / 48 < double(v + 1) * 40; ++a) {
                put(audio[a]);
            }
        }
    }
    table.back().Length = pos - table.back().pos;
    count.IBlockCount = int32_t(table.size());
    const TIndex_Head head = MakeIndexHead(lesson, "7", 1280, 720, 46000.5);
    std::ofstream i(index, std::ios::binary);
    i.write(reinterpret_cast<const char*>(&head), sizeof head);
    i.write(reinterpret_cast<const char*>(&count), sizeof count);
    i.write(reinterpret_cast<const char*>(table.data()),
            std::streamsize(table.size() * sizeof(TIndex_IBlock)));
}

struct TCost {
    double cpu = 0;
    double wall = 0;
};

double CpuOf(int who) {
    rusage use{};
    getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// CPU and wall seconds of work done in this process (who RUSAGE_SELF) or in
// the children it waits for (RUSAGE_CHILDREN).
template <typename F> TCost Measure(int who, F&& work) {
    const double cpu = CpuOf(who);
    const double wall = Seconds(work);
    return {CpuOf(who) - cpu, wall};
}

TCost Reference(const std::string& command) {
    return Measure(RUSAGE_CHILDREN, [&] { RunTimed(command); });
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Three alternating runs of ours and the reference; prints the medians.
template <typename Ours, typename Ref>
void Compare(const char* what, const char* reference, const char* goal, Ours&& ours, Ref&& ref) {
    std::vector<double> oursCpu, oursWall, refCpu, refWall;
    for (int run = 0; run < 3; ++run) {
        const TCost o = ours();
        const TCost r = ref();
        oursCpu.push_back(o.cpu);
        oursWall.push_back(o.wall);
        refCpu.push_back(r.cpu);
        refWall.push_back(r.wall);
    }
    const double oc = Median(oursCpu), rc = Median(refCpu);
    const double ow = Median(oursWall), rw = Median(refWall);
    std::printf("bench_mp4 %s: %.2f CPU-s, %s %.2f CPU-s, ratio %.2f%s "
                "(wall %.2f s vs %.2f s, %.2f; median of 3)\n",
                what, oc, reference, rc, oc / rc, goal, ow, rw, ow / rw);
    std::fflush(stdout);
}

TCost Export(const TGetLessionInfo& paths, int lesson, int mode, const std::string& out) {
    TLessionInfo info;
    info.LessionID = lesson;
    info.LessionName = "基准";
    TConvertMode convert;
    convert.nMode = mode;
    convert.nW = 1280;
    convert.nH = 720;
    convert.nBitbrate = 2000000;
    TMp4Thread builder(paths);
    std::string name;
    if (builder.initialize(mode == 0 ? 0 : 2, info, {"电教中心", "2026年12月9日"}, {}, {}, 5, 5, 0,
                           convert, name) != 0) {
        std::fprintf(stderr, "bench_mp4: lesson not opened\n");
        std::exit(1);
    }
    builder.SetMp4File(out);
    int result = 0;
    const TCost cost = Measure(RUSAGE_SELF, [&] { result = builder.RunTask(); });
    if (result != 0) {
        std::fprintf(stderr, "bench_mp4: export failed (%d)\n", result);
        std::exit(1);
    }
    return cost;
}

} // namespace
} // namespace tavrin::bench

int main() {
    using namespace tavrin;
    using namespace tavrin::bench;
    // The encoder's statistics would bury the result lines.
    av_log_set_level(AV_LOG_ERROR);
    TempFolder dir;
    RunTimed("ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=1280x720:r=25 -t 10 -c:v libx264 "
             "-preset superfast -b:v 2000k -g 25 -keyint_min 25 "
             "-x264-params scenecut=0:repeat-headers=1 -bf 0 -f h264 " +
             dir.File("clip.h264"));
    RunTimed("ffmpeg -nostdin -v error -f lavfi -i sine=f=440:r=48000 -ac 2 -t 10 -c:a aac "
             "-f adts " +
             dir.File("clip.aac"));
    const auto video = ReadFrames(dir.File("clip.h264"), "h264");
    const auto audio = ReadFrames(dir.File("clip.aac"), "aac");
    TGetLessionInfo paths;
    paths.initialize(dir.File("root"), "1");
    WriteLesson(paths, 1, video, audio, 60, dir.File("long.h264"), dir.File("long.aac"));
    WriteLesson(paths, 2, video, audio, 3, dir.File("short.h264"), dir.File("short.aac"));

    Compare(
        "export 10 min mode 0 with cards", "ffmpeg -c copy", " (goal <= 1.20)",
        [&] { return Export(paths, 1, 0, dir.File("ours0.mp4")); },
        [&] {
            return Reference("ffmpeg -nostdin -y -v error -f h264 -r 25 -i " +
                             dir.File("long.h264") + " -i " + dir.File("long.aac") +
                             " -c copy -movflags +faststart " + dir.File("ref0.mp4"));
        });
    Compare(
        "re-encode 30 s 720p mode 2", "ffmpeg libx264", "",
        [&] { return Export(paths, 2, 2, dir.File("ours2.mp4")); },
        [&] {
            return Reference(
                "ffmpeg -nostdin -y -v error -f h264 -r 25 -i " + dir.File("short.h264") + " -i " +
                dir.File("short.aac") +
                " -c:v libx264 -preset superfast -tune zerolatency -profile:v high -b:v 2000k "
                "-g 25 -keyint_min 25 -x264-params scenecut=0 -threads 3 -c:a copy "
                "-movflags +faststart " +
                dir.File("ref2.mp4"));
        });
    return 0;
}
