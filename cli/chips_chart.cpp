#include "cli/chips_chart.h"

#include "charts/validation_chart.h"
#include "cli/report.h"
#include "model/model.h"
#include "pictures/drawing_module.h"
#include "study/result_columns.h"

std::string write_validation_chart(const Validation &v, const std::vector<Chip> &chips,
                                   const std::string &table_name, const std::string &path,
                                   ImageFormat format) {
    ValidationChart c;
    c.title = "Published figures of real chips against the model's";
    const Model &m = active_model();
    c.notes.push_back("Chips: " + table_name + "; model: " + m.source + ", parallel fraction " +
                      parallel_fraction_text(std::nullopt));
    std::string summary = "Median |error|:";
    for (int f = 0; f < kChipFigures; f++) {
        const FigureSummary &s = v.summary[f];
        if (s.count != 0)
            summary += ::format(" %s %.0f %% (%zu),", chip_figure_name(ChipFigure(f)),
                                s.median_error * 100, s.count);
    }
    summary.pop_back();
    c.notes.push_back(summary + "; power at the published clock and supply");
    c.figure_labels = {"clock (GHz)", "die area (mm^2)", "power (W)"};
    for (const ChipComparison &row : v.rows)
        c.marks.push_back(
            ValidationMark{row.published, row.predicted, int(row.figure), chips[row.chip].name});
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    return drawing->write_image(path, format, 900, 700, [&](cairo_t *cr, int w, int h) {
        drawing->draw_validation_chart(cr, w, h, c);
    });
}
