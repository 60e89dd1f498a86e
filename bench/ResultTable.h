// Rows of bench/RESULTS.md: a figure, its baseline from the same run, their
// ratio and the goal. Each benchmark program appends its own section.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

struct ResultRow {
    std::string figure;
    std::string value;
    std::string baseline;
    double ratio;
    std::string goal;
    bool met;
};

class ResultTable {
public:
    explicit ResultTable(std::string title) : title_(std::move(title)) {}

    void Add(ResultRow row) { rows_.push_back(std::move(row)); }

    // Appends the section to `path` (and prints it).
    void Write(const std::string& path, const std::string& notes = "") const {
        std::string text = "\n## " + title_ + "\n\n";
        if (!notes.empty()) text += notes + "\n\n";
        text += "| figure | value | baseline (same run) | ratio | goal | met |\n|---|---|---|---|---|---|\n";
        for (const ResultRow& row : rows_) {
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.3f", row.ratio);
            text += "| " + row.figure + " | " + row.value + " | " + row.baseline + " | " + ratio + " | " + row.goal +
                    " | " + (row.met ? "yes" : "**no**") + " |\n";
        }
        std::fputs(text.c_str(), stdout);
        if (FILE* file = std::fopen(path.c_str(), "a")) {
            std::fputs(text.c_str(), file);
            std::fclose(file);
        }
    }

    static std::string Format(double value, const char* unit) {
        char text[64];
        std::snprintf(text, sizeof text, value >= 100 ? "%.0f %s" : "%.2f %s", value, unit);
        return text;
    }

private:
    std::string title_;
    std::vector<ResultRow> rows_;
};

// The heap row of a long run of cycles: heap in use after them against after
// the first thousand, which take the heap to its working size once; growth
// is counted from there.
inline ResultRow HeapRow(const std::string& figure, long long before, const std::vector<long long>& byThousand,
                         long long after) {
    long long settled = byThousand.empty() ? before : byThousand.front();
    long long grown = after - settled;
    return {figure, std::to_string(after) + " B (" + std::to_string(grown) + " B more)",
            "after the first thousand: " + std::to_string(settled) + " B (before it: " + std::to_string(before) + " B)",
            static_cast<double>(after) / static_cast<double>(settled), "ends where the first thousand left it",
            grown <= 0};
}

// Heap in use after so many thousand cycles, as "1k: B, 2k: B, ...": ten of
// them at most, evenly spread.
inline std::string HeapByThousand(const std::vector<long long>& byThousand) {
    std::string text;
    size_t step = std::max<size_t>(byThousand.size() / 10, 1);
    for (size_t i = step - 1; i < byThousand.size(); i += step) {
        text += (text.empty() ? "" : ", ") + std::to_string(i + 1) + "k: " + std::to_string(byThousand[i]);
    }
    return text;
}
