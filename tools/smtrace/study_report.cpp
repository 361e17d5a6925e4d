// The study's summary, recomputed from the cases, and its table, CSV and
// JSON.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "study.h"

namespace smtrace {
namespace {

// The shortest text that reads back as the same double, always with a
// fraction or an exponent.
std::string real(double value) {
  char out[32];
  const auto done = std::to_chars(out, out + sizeof out, value);
  std::string text(out, done.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string fixed(double value) {
  char out[32];
  std::snprintf(out, sizeof out, "%.3f", value);
  return out;
}

std::string hex64(uint64_t value) {
  char out[24];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(value));
  return out;
}

void append_json_string(std::string& out, std::string_view bytes) {
  out += '"';
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte < 0x7f) {
      out += c;
    } else {
      // Every other byte as the character of the same number (Latin-1).
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    }
  }
  out += '"';
}

// The quantile at p of sorted values, interpolated between the two nearest.
double quantile(const std::vector<double>& sorted, double p) {
  const double h = p * static_cast<double>(sorted.size() - 1);
  const auto lo = static_cast<size_t>(std::floor(h));
  if (lo + 1 >= sorted.size()) return sorted[lo];
  return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[lo + 1] - sorted[lo]);
}

Spread spread(const std::vector<double>& values) {
  Spread s;
  if (values.empty()) return s;
  s.any = true;
  double sum = 0;
  for (double v : values) sum += v;  // in case order, always the same
  s.mean = sum / static_cast<double>(values.size());
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  s.median = quantile(sorted, 0.5);
  s.q1 = quantile(sorted, 0.25);
  s.q3 = quantile(sorted, 0.75);
  return s;
}

const char* per_character_rule(PatternKind kind) {
  return kind == PatternKind::present
             ? "figure / (occurrence + m), the routine's own first occurrence"
             : "figure / n";
}

std::string block_heading(const StudyResult& result, const SummaryRow& row) {
  const StudyText& text = result.study.texts[row.text];
  std::string heading = text.name + ", " + std::to_string(text.length) + " bytes: ";
  heading += row.kind == PatternKind::present
                 ? "patterns that occur, per character read through, figure / (occurrence + m)"
                 : "patterns absent from the text, per text character, figure / n";
  return heading;
}

std::string csv_field(const std::string& field) {
  if (field.find_first_of(",\"\n\r") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::vector<SummaryRow> summarize(const StudyResult& result) {
  const StudyDefinition& study = result.study;
  const size_t groups = study.texts.size() * study.kinds.size() * study.lengths.size();
  std::vector<std::vector<const CaseResult*>> members(groups);
  for (const CaseResult& c : result.cases) {
    members[c.index / static_cast<uint64_t>(study.patterns)].push_back(&c);
  }
  std::vector<SummaryRow> rows;
  for (size_t g = 0; g < groups; ++g) {
    const CaseKey key = case_key(study, g * static_cast<uint64_t>(study.patterns));
    const auto n = static_cast<double>(study.texts[key.text].length);
    for (size_t a = 0; a < SMTRACE_ALGORITHM_COUNT; ++a) {
      SummaryRow row{key.text, key.kind, key.m, a, static_cast<int32_t>(members[g].size()), 0,
                     {}, {}, {}, {}};
      std::vector<double> reads, compares, look_aheads, dropped;
      for (const CaseResult* c : members[g]) {
        const CaseFigures& f = c->figures[a];
        if (f.refused) {
          ++row.refused;
          continue;
        }
        const double through =
            key.kind == PatternKind::present && f.occurrence >= 0
                ? static_cast<double>(f.occurrence) + static_cast<double>(key.m)
                : n;
        reads.push_back(static_cast<double>(f.reads) / through);
        compares.push_back(static_cast<double>(f.compares) / through);
        look_aheads.push_back(static_cast<double>(f.look_aheads) / through);
        dropped.push_back(static_cast<double>(f.dropped) / through);
      }
      row.reads = spread(reads);
      row.compares = spread(compares);
      row.look_aheads = spread(look_aheads);
      row.dropped = spread(dropped);
      rows.push_back(row);
    }
  }
  return rows;
}

std::string study_table(const StudyResult& result, const std::vector<SummaryRow>& summary) {
  const std::vector<std::string> heads = {"algorithm", "m",      "patterns", "refused",
                                          "mean",      "median", "q1",       "q3",
                                          "mean",      "median", "q1",       "q3",
                                          "mean",      "median", "q1",       "q3",
                                          "mean",      "median", "q1",       "q3"};
  const char* const groups[] = {"reads", "compares", "look-aheads", "dropped reads"};
  // Rows grouped by text and kind, then by algorithm, then by length.
  std::vector<std::vector<const SummaryRow*>> blocks;
  std::vector<std::pair<size_t, PatternKind>> block_keys;
  for (const SummaryRow& row : summary) {
    const auto key = std::make_pair(row.text, row.kind);
    const auto found = std::find(block_keys.begin(), block_keys.end(), key);
    if (found == block_keys.end()) {
      block_keys.push_back(key);
      blocks.emplace_back();
      blocks.back().push_back(&row);
    } else {
      blocks[static_cast<size_t>(found - block_keys.begin())].push_back(&row);
    }
  }
  std::string table;
  if (!result.shard.whole()) {
    table += "part " + std::to_string(result.shard.index) + " of " +
             std::to_string(result.shard.count) + " of the study (smtrace study merge joins them)\n\n";
  }
  for (auto& block : blocks) {
    std::stable_sort(block.begin(), block.end(), [](const SummaryRow* a, const SummaryRow* b) {
      return a->algorithm < b->algorithm;
    });
    std::vector<std::vector<std::string>> cells;
    for (const SummaryRow* row : block) {
      std::vector<std::string> line = {kAlgorithms.begin()[row->algorithm].name,
                                       std::to_string(row->m), std::to_string(row->patterns),
                                       std::to_string(row->refused)};
      for (const Spread* s : {&row->reads, &row->compares, &row->look_aheads, &row->dropped}) {
        for (double v : {s->mean, s->median, s->q1, s->q3}) line.push_back(s->any ? fixed(v) : "-");
      }
      cells.push_back(line);
    }
    std::vector<size_t> widths;
    for (const auto& head : heads) widths.push_back(head.size());
    for (const auto& line : cells) {
      for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
    }
    for (size_t c = 4; c < heads.size(); ++c) widths[c] = std::max(widths[c], size_t{6});
    auto line_of = [&widths](const std::vector<std::string>& line) {
      std::string out;
      for (size_t c = 0; c < line.size(); ++c) {
        const std::string pad(widths[c] - line[c].size(), ' ');
        out += c == 0 ? line[c] + pad : "  " + pad + line[c];
      }
      return out + "\n";
    };
    // Each group of four columns under its name.
    std::string over(widths[0] + 2 + widths[1] + 2 + widths[2] + 2 + widths[3], ' ');
    for (size_t g = 0; g < 4; ++g) {
      size_t width = 0;
      for (size_t c = 4 + 4 * g; c < 8 + 4 * g; ++c) width += widths[c] + 2;
      std::string name = std::string(groups[g]) + " per character";
      if (name.size() + 2 > width) name = groups[g];
      over += "  " + name + std::string(width - 2 - std::min(width - 2, name.size()), ' ');
    }
    while (!over.empty() && over.back() == ' ') over.pop_back();
    table += block_heading(result, *block.front()) + "\n" + over + "\n" + line_of(heads);
    for (const auto& line : cells) table += line_of(line);
    table += "\n";
  }
  if (!table.empty()) table.pop_back();
  return table;
}

std::string study_csv(const StudyResult& result, const std::vector<SummaryRow>& summary) {
  std::string csv =
      "text,text_length,kind,algorithm,m,patterns,refused,"
      "reads_mean,reads_median,reads_q1,reads_q3,"
      "compares_mean,compares_median,compares_q1,compares_q3,"
      "look_aheads_mean,look_aheads_median,look_aheads_q1,look_aheads_q3,"
      "dropped_mean,dropped_median,dropped_q1,dropped_q3\n";
  for (const SummaryRow& row : summary) {
    const StudyText& text = result.study.texts[row.text];
    csv += csv_field(text.name) + "," + std::to_string(text.length) + "," + kind_name(row.kind) +
           "," + kAlgorithms.begin()[row.algorithm].name + "," + std::to_string(row.m) + "," +
           std::to_string(row.patterns) + "," + std::to_string(row.refused);
    for (const Spread* s : {&row.reads, &row.compares, &row.look_aheads, &row.dropped}) {
      for (double v : {s->mean, s->median, s->q1, s->q3}) csv += "," + (s->any ? real(v) : "");
    }
    csv += "\n";
  }
  return csv;
}

std::string study_json(const StudyResult& result, const std::vector<SummaryRow>& summary) {
  const StudyDefinition& study = result.study;
  std::string json = "{\n  \"format\": \"smtrace study 1\",\n  \"study\": {\n    \"texts\": [";
  for (size_t t = 0; t < study.texts.size(); ++t) {
    json += t == 0 ? "\n" : ",\n";
    json += "      {\"name\": ";
    append_json_string(json, study.texts[t].name);
    json += ", \"length\": " + std::to_string(study.texts[t].length) + ", \"fnv1a64\": \"" +
            hex64(study.texts[t].hash) + "\"}";
  }
  json += "\n    ],\n    \"kinds\": [";
  for (size_t k = 0; k < study.kinds.size(); ++k) {
    json += std::string(k == 0 ? "" : ", ") + "\"" + kind_name(study.kinds[k]) + "\"";
  }
  json += "],\n    \"lengths\": [";
  for (size_t l = 0; l < study.lengths.size(); ++l) {
    json += (l == 0 ? "" : ", ") + std::to_string(study.lengths[l]);
  }
  json += "],\n    \"patterns\": " + std::to_string(study.patterns) +
          ",\n    \"seed\": " + std::to_string(study.seed) + ",\n    \"algorithms\": [";
  for (const Algorithm& algorithm : kAlgorithms) {
    json += std::string(&algorithm == kAlgorithms.begin() ? "" : ", ") + "\"" + algorithm.name +
            "\"";
  }
  json += "]\n  },\n";
  if (!result.shard.whole()) {
    json += "  \"shard\": {\"index\": " + std::to_string(result.shard.index) +
            ", \"count\": " + std::to_string(result.shard.count) + "},\n";
  }
  json += "  \"per_character\": {\"present\": \"" +
          std::string(per_character_rule(PatternKind::present)) + "\", \"absent\": \"" +
          per_character_rule(PatternKind::absent) + "\"},\n";
  json += "  \"cases\": [";
  for (size_t i = 0; i < result.cases.size(); ++i) {
    const CaseResult& c = result.cases[i];
    const CaseKey key = case_key(study, c.index);
    json += i == 0 ? "\n" : ",\n";
    json += "    {\"case\": " + std::to_string(c.index) + ", \"text\": " + std::to_string(key.text) +
            ", \"kind\": \"" + kind_name(key.kind) + "\", \"m\": " + std::to_string(key.m) +
            ", \"draw\": " + std::to_string(key.draw) + ", \"position\": " +
            std::to_string(c.position) + ", \"first\": " + std::to_string(c.first) +
            ", \"pattern\": ";
    append_json_string(json, c.pattern);
    json += ", \"figures\": {";
    size_t a = 0;
    for (const Algorithm& algorithm : kAlgorithms) {
      const CaseFigures& f = c.figures[a];
      json += std::string(a++ == 0 ? "" : ", ") + "\"" + algorithm.name + "\": ";
      if (f.refused) {
        json += "{\"refused\": true}";
        continue;
      }
      json += "{\"reads\": " + std::to_string(f.reads) + ", \"compares\": " +
              std::to_string(f.compares) + ", \"look_aheads\": " + std::to_string(f.look_aheads) +
              ", \"dropped\": " + std::to_string(f.dropped) + ", \"occurrence\": " +
              std::to_string(f.occurrence) + "}";
    }
    json += "}}";
  }
  json += result.cases.empty() ? "],\n" : "\n  ],\n";
  json += "  \"summary\": [";
  for (size_t r = 0; r < summary.size(); ++r) {
    const SummaryRow& row = summary[r];
    json += r == 0 ? "\n" : ",\n";
    json += "    {\"text\": " + std::to_string(row.text) + ", \"kind\": \"" + kind_name(row.kind) +
            "\", \"m\": " + std::to_string(row.m) + ", \"algorithm\": \"" +
            kAlgorithms.begin()[row.algorithm].name + "\", \"patterns\": " +
            std::to_string(row.patterns) + ", \"refused\": " + std::to_string(row.refused);
    const std::pair<const char*, const Spread*> figures[] = {
        {"reads_per_character", &row.reads},
        {"compares_per_character", &row.compares},
        {"look_aheads_per_character", &row.look_aheads},
        {"dropped_per_character", &row.dropped}};
    for (const auto& [name, s] : figures) {
      json += std::string(", \"") + name + "\": ";
      if (!s->any) {
        json += "null";
        continue;
      }
      json += "{\"mean\": " + real(s->mean) + ", \"median\": " + real(s->median) +
              ", \"q1\": " + real(s->q1) + ", \"q3\": " + real(s->q3) + "}";
    }
    json += "}";
  }
  json += summary.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return json;
}

}  // namespace smtrace
