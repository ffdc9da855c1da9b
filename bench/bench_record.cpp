// CPU spent per second of a lesson recorded from one 1080p MP4 channel
// (read, decode, scale, compose, caption, encode, record) by tavrin-cli
// record, against the ffmpeg command line transcoding the same seconds of
// the same file with the same encoder settings and the caption's drawtext.
// Usage: bench_record BIN_DIR (BENCH_SECONDS: recorded seconds, 15 when unset)
#include "bench/BenchUtil.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds the command's processes used.
double CpuOf(const std::string& command) {
    const double before = ChildCpuSeconds();
    tavrin::bench::RunTimed(command);
    return ChildCpuSeconds() - before;
}

std::string Output(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 512> buf{};
    while (pipe && fgets(buf.data(), int(buf.size()), pipe.get()) != nullptr) {
        out += buf.data();
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::string bin = argc > 1 ? argv[1] : ".";
    // A shorter run for a quick comparison; the default keeps earlier figures comparable.
    const char* asked = std::getenv("BENCH_SECONDS");
    const int seconds = asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : 15;
    tavrin::bench::TempFolder dir;
    const std::string movie = dir.File("movie.mp4");
    tavrin::bench::RunTimed(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1920x1080:r=25 -f lavfi "
        "-i sine=f=440:r=48000 -t " +
        std::to_string(seconds + 2) +
        " -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 '" + movie +
        "'");

    const double ours =
        CpuOf("'" + bin + "/tavrin-cli' record --root '" + dir.File("root") +
              "' --lesson 1 --seconds " + std::to_string(seconds) +
              " --resolution 1080 --bitrate 2048 --channel 1=file:'" + movie + "' >/dev/null 2>&1");

    // The same caption the programme carries, drawn from the program folder
    // where sy.otf lives.
    std::string caption =
        Output("'" + bin + "/tavrin-cli' filter caption --resolution 1 --name 'Lesson 1'");
    caption = caption.substr(caption.find(']') + 1);
    caption = caption.substr(0, caption.rfind('['));
    const double reference = CpuOf(
        "cd '" + bin + "' && ffmpeg -nostdin -v error -y -i '" + movie + "' -t " +
        std::to_string(seconds) + " -vf \"scale=1920:1080:flags=bicubic," + caption +
        "\" -c:v libx264 -preset superfast -tune zerolatency -profile:v high -b:v 2097152 -g 25 "
        "-keyint_min 25 -x264-params scenecut=0 -threads 3 -c:a copy -f null -");

    std::printf("bench_record: tavrin-cli record %.3f CPU s per recorded second, ffmpeg transcode "
                "%.3f CPU s per second, ratio %.2f\n",
                ours / seconds, reference / seconds, ours / reference);
    return 0;
}
