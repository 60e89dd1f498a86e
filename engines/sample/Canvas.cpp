#include "Canvas.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace sample {

Box Box::Union(const Box& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return Box{std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

Box Box::Intersect(const Box& o) const {
    Box r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    return r.Empty() ? Box{} : r;
}

bool Font::Load(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    stbtt_fontinfo info;
    if (data_.empty() || !stbtt_InitFont(&info, data_.data(), stbtt_GetFontOffsetForIndex(data_.data(), 0))) {
        data_.clear();
        return false;
    }
    return true;
}

void Canvas::FillRect(const Box& box, uint32_t color) {
    Box area = box.Intersect(Bounds());
    for (int y = area.top; y < area.bottom; ++y) std::fill(Row(y) + area.left, Row(y) + area.right, color);
}

void Canvas::FillEllipse(const Box& box, uint32_t color) {
    double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    double rx = (box.right - box.left) / 2.0, ry = (box.bottom - box.top) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    Box area = box.Intersect(Bounds());
    for (int y = area.top; y < area.bottom; ++y) {
        double dy = (y + 0.5 - cy) / ry;
        for (int x = area.left; x < area.right; ++x) {
            double dx = (x + 0.5 - cx) / rx;
            if (dx * dx + dy * dy <= 1.0) Row(y)[x] = color;
        }
    }
}

void Canvas::DrawLine(double x0, double y0, double x1, double y1, uint32_t color) {
    int steps = static_cast<int>(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        int x = static_cast<int>(std::lround(x0 + (x1 - x0) * t));
        int y = static_cast<int>(std::lround(y0 + (y1 - y0) * t));
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) Blend(x + dx, y + dy, color, 255);
        }
    }
}

void Canvas::Blend(int x, int y, uint32_t color, int alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0) return;
    uint32_t& pixel = Row(y)[x];
    uint32_t result = 0;
    for (int shift : {16, 8, 0}) {
        int under = (pixel >> shift) & 0xFF, over = (color >> shift) & 0xFF;
        result |= static_cast<uint32_t>((over * alpha + under * (255 - alpha)) / 255) << shift;
    }
    pixel = result;
}

Box Canvas::MeasureText(const Font& font, const std::string& text, double x, double y, double size) {
    if (!font.Loaded()) return Box{};
    stbtt_fontinfo info;
    stbtt_InitFont(&info, font.Data(), stbtt_GetFontOffsetForIndex(font.Data(), 0));
    float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(size));
    double width = 0;
    for (unsigned char c : text) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, c, &advance, &bearing);
        width += advance * scale;
    }
    return Box{static_cast<int>(x), static_cast<int>(y), static_cast<int>(std::ceil(x + width)) + 1,
               static_cast<int>(std::ceil(y + size)) + 1};
}

Box Canvas::Print(const Font& font, const std::string& text, double x, double y, double size, uint32_t color) {
    if (!font.Loaded()) return Box{};
    stbtt_fontinfo info;
    stbtt_InitFont(&info, font.Data(), stbtt_GetFontOffsetForIndex(font.Data(), 0));
    float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(size));
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    double pen = x;
    int baseline = static_cast<int>(y + ascent * scale);
    for (unsigned char c : text) {
        int w = 0, h = 0, xoff = 0, yoff = 0;
        unsigned char* glyph = stbtt_GetCodepointBitmap(&info, 0, scale, c, &w, &h, &xoff, &yoff);
        for (int gy = 0; gy < h; ++gy) {
            for (int gx = 0; gx < w; ++gx) {
                Blend(static_cast<int>(pen) + xoff + gx, baseline + yoff + gy, color, glyph[gy * w + gx]);
            }
        }
        stbtt_FreeBitmap(glyph, nullptr);
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, c, &advance, &bearing);
        pen += advance * scale;
    }
    return MeasureText(font, text, x, y, size);
}

}  // namespace sample
