// Paints the four built-in card backgrounds as raw YUV 4:2:0 pictures at
// build time: a dark board with a light strip along the bottom, the title
// card with a few desk items on the strip. Usage: make_card_pictures DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TRgb {
    double r, g, b;
};

class TCanvas {
public:
    TCanvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * size_t(h)) {}

    // Coordinates are fractions of the canvas so both sizes look alike.
    void Rect(double x0, double y0, double x1, double y1, TRgb c) {
        for (int y = Y(y0); y < Y(y1); ++y) {
            for (int x = X(x0); x < X(x1); ++x) {
                At(x, y) = c;
            }
        }
    }
    void Ellipse(double cx, double cy, double rx, double ry, TRgb c) {
        for (int y = Y(cy - ry); y <= Y(cy + ry); ++y) {
            for (int x = X(cx - rx); x <= X(cx + rx); ++x) {
                const double dx = (x + 0.5 - cx * w_) / (rx * w_);
                const double dy = (y + 0.5 - cy * h_) / (ry * h_);
                if (dx * dx + dy * dy <= 1.0) {
                    At(x, y) = c;
                }
            }
        }
    }
    void Board() {
        // Dark grey-green board, a little lighter in the middle, with faint
        // wiped chalk streaks.
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                const double fx = double(x) / w_ - 0.5;
                const double fy = double(y) / h_ - 0.45;
                const double glow = 1.0 - 0.35 * (fx * fx + fy * fy);
                const double streak =
                    3.0 * std::sin(x * 0.013 + std::sin(y * 0.021) * 2.0) * std::sin(y * 0.007);
                At(x, y) = {40 * glow + streak, 46 * glow + streak, 43 * glow + streak};
            }
        }
    }
    void Strip() {
        Rect(0, 0.86, 1, 1, {214, 206, 190});
        Rect(0, 0.86, 1, 0.868, {160, 150, 132}); // edge of the strip
    }
    void DeskItems() {
        Rect(0.70, 0.835, 0.80, 0.875, {170, 40, 40});   // closed book
        Rect(0.70, 0.868, 0.80, 0.872, {240, 236, 225}); // its pages
        Rect(0.81, 0.855, 0.90, 0.862, {230, 180, 30});  // pencil
        Rect(0.90, 0.856, 0.91, 0.861, {60, 50, 40});    // its point
        Rect(0.60, 0.80, 0.64, 0.875, {235, 235, 240});  // cup
        Ellipse(0.645, 0.835, 0.01, 0.02, {235, 235, 240});
        Ellipse(0.645, 0.835, 0.005, 0.01, {214, 206, 190});
        Ellipse(0.55, 0.85, 0.018, 0.03, {200, 30, 30}); // apple
        Rect(0.549, 0.81, 0.552, 0.825, {90, 60, 30});
    }
    // BT.709 limited range, the colour space the card encoder is tagged with.
    std::vector<uint8_t> Yuv420() const {
        std::vector<uint8_t> out(size_t(w_) * h_ * 3 / 2);
        uint8_t* Y = out.data();
        uint8_t* U = Y + size_t(w_) * h_;
        uint8_t* V = U + size_t(w_) * h_ / 4;
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                const TRgb& c = px_[size_t(y) * w_ + x];
                Y[size_t(y) * w_ + x] = Clip(16 + (0.1826 * c.r + 0.6142 * c.g + 0.0620 * c.b));
            }
        }
        for (int y = 0; y < h_ / 2; ++y) {
            for (int x = 0; x < w_ / 2; ++x) {
                TRgb s{0, 0, 0};
                for (int k = 0; k < 4; ++k) {
                    const TRgb& c = px_[size_t(2 * y + k / 2) * w_ + 2 * x + k % 2];
                    s = {s.r + c.r / 4, s.g + c.g / 4, s.b + c.b / 4};
                }
                U[size_t(y) * (w_ / 2) + x] =
                    Clip(128 + (-0.1006 * s.r - 0.3386 * s.g + 0.4392 * s.b));
                V[size_t(y) * (w_ / 2) + x] =
                    Clip(128 + (0.4392 * s.r - 0.3989 * s.g - 0.0403 * s.b));
            }
        }
        return out;
    }

private:
    static uint8_t Clip(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }
    int X(double f) const { return std::clamp(int(f * w_), 0, w_ - 1); }
    int Y(double f) const { return std::clamp(int(f * h_), 0, h_ - 1); }
    TRgb& At(int x, int y) { return px_[size_t(y) * w_ + x]; }
    int w_, h_;
    std::vector<TRgb> px_;
};

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    for (const int h : {720, 1080}) {
        const int w = h * 16 / 9;
        for (const bool title : {true, false}) {
            TCanvas canvas(w, h);
            canvas.Board();
            canvas.Strip();
            if (title) {
                canvas.DeskItems();
            }
            const std::string name =
                std::string(title ? "coverYUV_" : "backcoverYUV_") + std::to_string(h) + ".yuv";
            if (!Write(dir + "/" + name, canvas.Yuv420())) {
                std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
                return 1;
            }
        }
    }
    return 0;
}
