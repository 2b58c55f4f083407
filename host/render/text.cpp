// Pango layouts for measuring and drawing texts.
#include <mutex>

#include "host/render/scene.h"

namespace host::render {

PangoContext* MeasureContext() {
    static PangoContext* context = [] {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoContext* ctx = pango_font_map_create_context(map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(ctx, options);
        cairo_font_options_destroy(options);
        return ctx;
    }();
    return context;
}

PangoLayout* NewLayout(PangoContext* context, const TextPrim& text) {
    static PangoFontDescription* font = [] {
        PangoFontDescription* f = pango_font_description_from_string("DejaVu Sans");
        pango_font_description_set_absolute_size(f, kLayoutPx * PANGO_SCALE);
        return f;
    }();
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font);
    if (text.wrapWidthPx > 0) {
        pango_layout_set_width(layout, int(text.wrapWidthPx * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_alignment(layout, text.align);
    if (text.lineSpacing != 1)
        pango_layout_set_line_spacing(layout, float(text.lineSpacing));
    pango_layout_set_text(layout, text.text.data(), int(text.text.size()));
    return layout;
}

}  // namespace host::render
