package com.ostrel.quillbench.bench;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget;
import com.ostrel.quillbench.headless.HeadlessWin32;
import java.io.FileWriter;
import java.io.IOException;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;

/**
 * The widget's natives against bare JNI natives doing the same string work, with the no-op
 * engine. Each pair is warmed up, then measured in alternating rounds; the figure is the median
 * of the rounds' per-call times.
 *
 * <p>Usage: NativesBench ENGINES_DIR RESULTS_FRAGMENT
 */
public final class NativesBench {
    private static final int WARM_UP_CALLS = 300_000;
    private static final int CALLS_PER_ROUND = 200_000;
    private static final int ROUNDS = 15;
    private static final double GOAL = 1.15;

    /** One timed call; the sink keeps results alive. */
    interface Call {
        Object run(long window);
    }

    record Pair(String name, Call widget, Call bare) {}

    private static volatile Object sink;

    private NativesBench() {}

    public static void main(String[] args) throws IOException {
        String engines = args[0];
        long parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
        VantraPlayerWidget widget = new VantraPlayerWidget(new Silent());
        if (widget.create(parent, "/" + engines + "/noop/") == 0) throw new IllegalStateException("no window");
        long w = widget.window();
        VantraPlayerWidget.resizeVantraPlayerHostWindow(w, 0, 0, 200, 150);

        List<Pair> pairs = List.of(
                new Pair("VPP_SetVariable", h -> VantraPlayerWidget.VPP_SetVariable(h, "speed", "fast"),
                        h -> BareNatives.setVariable(h, "speed", "fast")),
                new Pair("VPP_GetVariable", h -> VantraPlayerWidget.VPP_GetVariable(h, "speed"),
                        h -> BareNatives.getVariable(h, "speed")),
                new Pair("VPP_CallFunction2", h -> VantraPlayerWidget.VPP_CallFunction2(h, REQUEST),
                        h -> BareNatives.callFunction2(h, REQUEST)),
                new Pair("VPP_DoPlay", h -> VantraPlayerWidget.VPP_DoPlay(h), h -> BareNatives.doPlay(h)),
                new Pair("drawVantraPlayerHostWindow (empty area)", h -> {
                    VantraPlayerWidget.drawVantraPlayerHostWindow(h, 0, 0, 0, 0);
                    return null;
                }, h -> {
                    BareNatives.draw(h, 0, 0, 0, 0);
                    return null;
                }));

        StringBuilder section = new StringBuilder();
        section.append("\n## The widget's natives against bare JNI natives (Java harness, median of ")
                .append(ROUNDS).append(" rounds of ").append(CALLS_PER_ROUND).append(" calls)\n\n")
                .append("| figure | value | baseline (same run) | ratio | goal | met |\n|---|---|---|---|---|---|\n");
        for (Pair pair : pairs) {
            measure(pair.widget(), w, WARM_UP_CALLS);
            measure(pair.bare(), w, WARM_UP_CALLS);
            double[] widgetTimes = new double[ROUNDS], bareTimes = new double[ROUNDS];
            for (int round = 0; round < ROUNDS; round++) {
                widgetTimes[round] = measure(pair.widget(), w, CALLS_PER_ROUND);
                bareTimes[round] = measure(pair.bare(), w, CALLS_PER_ROUND);
            }
            double widgetNs = median(widgetTimes), bareNs = median(bareTimes), ratio = widgetNs / bareNs;
            section.append(String.format(Locale.ROOT, "| %s per call | %.1f ns | bare native: %.1f ns | %.3f | <= %.2f | %s |%n",
                    pair.name(), widgetNs, bareNs, ratio, GOAL, ratio <= GOAL ? "yes" : "**no**"));
        }
        widget.destroy();
        System.out.print(section);
        try (FileWriter out = new FileWriter(args[1], true)) {
            out.write(section.toString());
        }
    }

    private static final String REQUEST = "<invoke name=\"ping\" returntype=\"xml\"><arguments><number>1</number>"
            + "</arguments></invoke>";

    /** Nanoseconds per call over `calls` calls. */
    private static double measure(Call call, long window, int calls) {
        Object last = null;
        long start = System.nanoTime();
        for (int i = 0; i < calls; i++) last = call.run(window);
        long elapsed = System.nanoTime() - start;
        sink = last;
        return (double) elapsed / calls;
    }

    private static double median(double[] values) {
        double[] sorted = values.clone();
        Arrays.sort(sorted);
        return sorted[sorted.length / 2];
    }

    /** A listener that ignores everything. */
    static final class Silent implements VantraPlayerWidget.Listener {
        @Override
        public void contextMenu(int x, int y) {}

        @Override
        public void doubleClick(int x, int y) {}

        @Override
        public String callFunction(String request) {
            return "";
        }

        @Override
        public void trace(String text) {}
    }
}
