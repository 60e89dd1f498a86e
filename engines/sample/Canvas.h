// Drawing into the host's back buffer: 32-bit pixels, 0x00RRGGBB, rows of
// bytesPerRow bytes, top row first. Every primitive clips to the canvas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    bool Empty() const { return left >= right || top >= bottom; }
    Box Union(const Box& other) const;
    Box Intersect(const Box& other) const;
};

// A TrueType font read from a file, for Print.
class Font {
public:
    bool Load(const std::string& file);
    bool Loaded() const { return !data_.empty(); }
    const unsigned char* Data() const { return data_.data(); }

private:
    std::vector<unsigned char> data_;
};

class Canvas {
public:
    Canvas(void* pixels, int width, int height, int bytesPerRow)
        : pixels_(static_cast<unsigned char*>(pixels)), width_(width), height_(height), stride_(bytesPerRow) {}

    Box Bounds() const { return Box{0, 0, width_, height_}; }
    void FillRect(const Box& box, uint32_t color);
    void FillEllipse(const Box& box, uint32_t color);
    void DrawLine(double x0, double y0, double x1, double y1, uint32_t color);
    // Text with its top-left corner at (x, y), blended over what is there;
    // returns the box it covered.
    Box Print(const Font& font, const std::string& text, double x, double y, double size, uint32_t color);
    // The box Print would cover.
    static Box MeasureText(const Font& font, const std::string& text, double x, double y, double size);

private:
    uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(pixels_ + static_cast<size_t>(y) * stride_); }
    void Blend(int x, int y, uint32_t color, int alpha);

    unsigned char* pixels_;
    int width_, height_, stride_;
};

}  // namespace sample
