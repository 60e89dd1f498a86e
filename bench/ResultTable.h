// Rows of bench/RESULTS.md: a figure, its baseline from the same run, their
// ratio and the goal. Each benchmark program appends its own section.
#pragma once

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
