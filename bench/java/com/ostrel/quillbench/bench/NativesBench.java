package com.ostrel.quillbench.bench;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget;
import com.ostrel.quillbench.headless.HeadlessWin32;
import java.io.FileWriter;
import java.io.IOException;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;

/**
 * The widget's natives against bare JNI natives doing the same string work and calling the same
 * entry of the no-op engine straight through its table. Each pair is warmed up, then measured in
 * alternating rounds; the figure is the median of the rounds' per-call times. The floor also pays
 * what soundness costs the widget on every call, shown apart (the bare call alone beside it): the
 * look for a pending exception before the first JNI call and before a Java string is made of an
 * engine's text, that text checked as UTF-8 (JNI takes only well-formed text), and for DoPlay and
 * CallFunction2 the fault guard around the entry (every such call must survive what the engine
 * raises).
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

    /** The bare native, with the checks of {@link BareNatives} asked for. */
    interface BareCall {
        Object run(long window, int checks);
    }

    /** A native, its bare counterpart and the checks the widget's native makes. */
    record Pair(String name, Call widget, BareCall bare, int checks) {}

    private static volatile Object sink;

    private NativesBench() {}

    public static void main(String[] args) throws IOException {
        String engines = args[0];
        if (!BareNatives.loadEngine(engines + "/noop/Vantra Player 8/stagerun.dll")) {
            throw new IllegalStateException("the bare natives cannot load the no-op engine");
        }
        long parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
        VantraPlayerWidget widget = new VantraPlayerWidget(new Silent());
        if (widget.create(parent, "/" + engines + "/noop/") == 0) throw new IllegalStateException("no window");
        long w = widget.window();
        VantraPlayerWidget.resizeVantraPlayerHostWindow(w, 0, 0, 200, 150);

        List<Pair> pairs = List.of(
                new Pair("VPP_SetVariable", h -> VantraPlayerWidget.VPP_SetVariable(h, "speed", "fast"),
                        (h, c) -> BareNatives.setVariable(h, "speed", "fast", c), BareNatives.JNI_CHECKS),
                new Pair("VPP_GetVariable", h -> VantraPlayerWidget.VPP_GetVariable(h, "speed"),
                        (h, c) -> BareNatives.getVariable(h, "speed", c), BareNatives.JNI_CHECKS),
                new Pair("VPP_CallFunction2", h -> VantraPlayerWidget.VPP_CallFunction2(h, REQUEST),
                        (h, c) -> BareNatives.callFunction2(h, REQUEST, c),
                        BareNatives.JNI_CHECKS | BareNatives.GUARD),
                new Pair("VPP_DoPlay", h -> VantraPlayerWidget.VPP_DoPlay(h), (h, c) -> BareNatives.doPlay(h, c),
                        BareNatives.GUARD),
                new Pair("drawVantraPlayerHostWindow (empty area)", h -> {
                    VantraPlayerWidget.drawVantraPlayerHostWindow(h, 0, 0, 0, 0);
                    return null;
                }, (h, c) -> {
                    BareNatives.draw(h, 0, 0, 0, 0, c);
                    return null;
                }, 0));

        StringBuilder section = new StringBuilder();
        section.append("\n## The widget's natives against bare JNI natives calling the same engine entry (Java harness, median of ")
                .append(ROUNDS).append(" rounds of ").append(CALLS_PER_ROUND).append(" calls)\n\n")
                .append("The bare natives do the same string work and call the no-op engine's entry straight through its table. ")
                .append("The baseline also pays what soundness costs the widget on every call, its price shown apart (the bare ")
                .append("call alone beside it): a look for a pending exception before the first JNI call and before a Java string ")
                .append("is made of an engine's text, that text checked as UTF-8 (JNI takes only well-formed text); for DoPlay ")
                .append("and CallFunction2 the fault guard around the entry (every such call must survive what the engine ")
                .append("raises). These stay: the goal is the floor with them. Beyond them a native pays the window's ")
                .append("own work: its handle looked up among the live windows, and for an engine call the instance and ")
                .append("entry looked at, the call counted (a window closed inside it goes once it returns) and the look ")
                .append("after the outermost call (\"DoPlay through the window, without JNI\" above measures that share); ")
                .append("on the cheapest natives, DoPlay and the empty draw, it is most of what is over the floor.\n\n")
                .append("| figure | value | baseline (same run) | ratio | goal | met |\n|---|---|---|---|---|---|\n");
        for (Pair pair : pairs) {
            Call floor = h -> pair.bare().run(h, pair.checks());
            Call alone = h -> pair.bare().run(h, 0);
            measure(pair.widget(), w, WARM_UP_CALLS);
            measure(floor, w, WARM_UP_CALLS);
            measure(alone, w, WARM_UP_CALLS);
            double[] widgetTimes = new double[ROUNDS], floorTimes = new double[ROUNDS], aloneTimes = new double[ROUNDS];
            for (int round = 0; round < ROUNDS; round++) {
                widgetTimes[round] = measure(pair.widget(), w, CALLS_PER_ROUND);
                floorTimes[round] = measure(floor, w, CALLS_PER_ROUND);
                if (pair.checks() != 0) aloneTimes[round] = measure(alone, w, CALLS_PER_ROUND);
            }
            double widgetNs = median(widgetTimes), floorNs = median(floorTimes), ratio = widgetNs / floorNs;
            String baseline = pair.checks() == 0
                    ? String.format(Locale.ROOT, "bare native with the entry: %.1f ns", floorNs)
                    : String.format(Locale.ROOT, "bare native with the entry and %s: %.1f ns (the bare call alone: %.1f ns)",
                            checksNamed(pair.checks()), floorNs, median(aloneTimes));
            section.append(String.format(Locale.ROOT, "| %s per call | %.1f ns | %s | %.3f | <= %.2f | %s |%n",
                    pair.name(), widgetNs, baseline, ratio, GOAL, ratio <= GOAL ? "yes" : "**no**"));
        }
        widget.destroy();
        System.out.print(section);
        try (FileWriter out = new FileWriter(args[1], true)) {
            out.write(section.toString());
        }
    }

    private static final String REQUEST = "<invoke name=\"ping\" returntype=\"xml\"><arguments><number>1</number>"
            + "</arguments></invoke>";

    private static String checksNamed(int checks) {
        String jni = "the exception and text checks", guard = "the fault guard";
        if (checks == (BareNatives.JNI_CHECKS | BareNatives.GUARD)) return jni + " and " + guard;
        return checks == BareNatives.GUARD ? guard : jni;
    }

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
