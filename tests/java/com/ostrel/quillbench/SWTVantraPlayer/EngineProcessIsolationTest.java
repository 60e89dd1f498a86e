package com.ostrel.quillbench.SWTVantraPlayer;

import static com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.ostrel.quillbench.headless.HeadlessWin32;
import com.ostrel.quillbench.testing.RecordingEngine;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.function.LongConsumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

/**
 * The engine in a process of its own ends in every way an engine can end a process: the virtual
 * machine lives on, the widget behaves as one without engine, and a new widget plays.
 */
class EngineProcessIsolationTest extends WidgetTestBase {
    static final String ENDED = "JNIToVantraPlayerBridge: the engine ended (its process is gone); this player is empty";
    static final int WHITE = 0xFFFFFF;

    /** What reached the Java side, and what to do inside a call-function up-call. */
    static class Recorder implements VantraPlayerWidget.Listener {
        final List<String> traces = new ArrayList<>();
        final List<String> menus = new ArrayList<>();
        Runnable duringCallFunction = () -> {};

        @Override
        public void contextMenu(int x, int y) {
            menus.add(x + "," + y);
        }

        @Override
        public void doubleClick(int x, int y) {}

        @Override
        public String callFunction(String request) {
            duringCallFunction.run();
            return "ok";
        }

        @Override
        public void trace(String text) {
            traces.add(text);
        }
    }

    @BeforeEach
    void onlyWithAnEngineProcess() {
        assumeTrue("process".equals(System.getenv("VANTRA_PLAYER_ENGINE_HOST")), "runs with an engine process");
    }

    private static void kill(int processId) {
        ProcessHandle helper = ProcessHandle.of(processId).orElseThrow();
        helper.destroyForcibly();
        helper.onExit().orTimeout(10, TimeUnit.SECONDS).join();
    }

    /** The widget lost its engine, heard of it once, stays usable and paints white. */
    private void assertEngineless(VantraPlayerWidget widget, Recorder recorder) {
        long w = widget.window();
        assertEquals(List.of(ENDED), recorder.traces);
        assertEquals(0, GetVPPInstance(w));
        assertFalse(VPP_DoPlay(w));
        assertFalse(VPP_LoadMovie(w, 1, "m", true));
        assertEquals("", VPP_GetVariable(w, "x"), "what a widget without engine answers");
        resizeVantraPlayerHostWindow(w, 0, 0, 40, 30);
        HeadlessWin32.runUntilIdle();
        int[] pixels = HeadlessWin32.readWindowPixels(lastChildOf(parent));
        assertTrue(Arrays.stream(pixels).allMatch(p -> (p & WHITE) == WHITE), "white once its engine is gone");
        HeadlessWin32.pressButton(HeadlessWin32.RIGHT_BUTTON, 5, 5);
        HeadlessWin32.releaseButton(HeadlessWin32.RIGHT_BUTTON, 5, 5);
        KickIdle(w);
        assertEquals(List.of("5,5"), recorder.menus, "its window's input still reaches the widget");
        assertEquals(List.of(ENDED), recorder.traces, "one trace line, however often it is used");
    }

    /** After the end of an engine process, the next widget starts a new one and plays. */
    private void assertNewWidgetPlays(int endedProcess) {
        RecordingEngine.reset();
        VantraPlayerWidget next = widget(new Recorder(), "recording");
        assertNotEquals(0, GetVPPInstance(next.window()));
        assertTrue(VPP_DoPlay(next.window()));
        assertTrue(Arrays.stream(RecordingEngine.entries()).anyMatch(e -> e == RecordingEngine.DO_PLAY));
        assertNotEquals(endedProcess, RecordingEngine.processId());
    }

    /** A process that dies is seen dead at once (its handle tells), not at the 45 s limit. */
    private static void seenAtOnce(Runnable call) {
        long start = System.nanoTime();
        call.run();
        long waited = (System.nanoTime() - start) / 1_000_000;
        assertTrue(waited < 3000, "the end was seen after " + waited + " ms");
    }

    private void endsTheProcess(int raise, LongConsumer trigger, int entry) {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        RecordingEngine.setRaise(entry, raise);
        seenAtOnce(() -> trigger.accept(widget.window()));
        assertEngineless(widget, recorder);
        assertNewWidgetPlays(helper);
    }

    @TestFactory
    Stream<DynamicTest> everyWayOfEndingTheProcessInsideDoPlayAndInsideAPaint() {
        int[] raises = {RecordingEngine.RAISE_CRASH, RecordingEngine.RAISE_ABORT, RecordingEngine.RAISE_STACK_OVERFLOW,
            RecordingEngine.RAISE_HEAP_CORRUPTION};
        String[] names = {"access violation", "abort", "stack overflow", "heap corruption"};
        List<DynamicTest> tests = new ArrayList<>();
        for (int i = 0; i < raises.length; ++i) {
            int raise = raises[i];
            tests.add(DynamicTest.dynamicTest(names[i] + " in DoPlay", () -> endsTheProcess(raise, w -> {
                assertFalse(VPP_DoPlay(w), "a call the engine process did not finish failed");
            }, RecordingEngine.DO_PLAY)));
            tests.add(DynamicTest.dynamicTest(names[i] + " in a paint", () -> endsTheProcess(raise, w -> {
                drawVantraPlayerHostWindow(w, 0, 0, 10, 10);
            }, RecordingEngine.PAINT_AREA)));
        }
        return tests.stream();
    }

    @Test
    void whatTheEnginePrintsReachesNobody() {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        RecordingEngine.setRaise(RecordingEngine.DO_PLAY, RecordingEngine.RAISE_PRINT_OUTPUT);
        assertTrue(VPP_DoPlay(widget.window()));
        drawVantraPlayerHostWindow(widget.window(), 0, 0, 10, 10);
        assertTrue(VPP_DoPlay(widget.window()));
        assertEquals(helper, RecordingEngine.processId());
    }

    @Test
    void aProcessKilledFromOutsideIsNoticedAtTheNextCall() {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        kill(helper);
        seenAtOnce(() -> assertFalse(VPP_DoPlay(widget.window())));
        assertEngineless(widget, recorder);
        assertNewWidgetPlays(helper);
    }

    @Test
    void aProcessKilledWhileJavaServesItsUpCallEndsTheCallInProgress() {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        recorder.duringCallFunction = () -> kill(helper);
        RecordingEngine.callFunctionOn(RecordingEngine.DO_PLAY, "<invoke name=\"f\"/>");
        seenAtOnce(() -> assertFalse(VPP_DoPlay(widget.window())));
        assertEngineless(widget, recorder);
        assertNewWidgetPlays(helper);
    }

    @Test
    void everyWidgetOfTheProcessLosesItsEngineAndHearsOfItOnce() {
        Recorder first = new Recorder();
        Recorder second = new Recorder();
        VantraPlayerWidget one = widget(first, "recording");
        VantraPlayerWidget two = widget(second, "recording");
        int helper = RecordingEngine.processId();
        RecordingEngine.setRaise(RecordingEngine.DO_PLAY, RecordingEngine.RAISE_CRASH);
        seenAtOnce(() -> assertFalse(VPP_DoPlay(one.window())));
        assertEquals(List.of(ENDED), first.traces);
        assertEquals(List.of(ENDED), second.traces);
        assertEquals(0, GetVPPInstance(two.window()));
        assertEquals(0, destroyVantraPlayerHostWindow(two.window()));
        widgets.remove(two);
        assertNewWidgetPlays(helper);
    }

    @Test
    void aProcessEndingWhileAnInstanceIsCreatedLeavesThatWidgetWithoutEngine() {
        RecordingEngine.setRaise(RecordingEngine.NEW_INSTANCE, RecordingEngine.RAISE_CRASH);
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        assertEquals(0, GetVPPInstance(widget.window()));
        assertFalse(VPP_DoPlay(widget.window()));
        assertNewWidgetPlays(helper);
    }

    @Test
    void aTraceFromTheEnginesOwnThreadReachesTheWidget() throws InterruptedException {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        RecordingEngine.threadServicesOn(RecordingEngine.DO_PLAY, 20);
        assertTrue(VPP_DoPlay(widget.window()));
        RecordingEngine.reset();
        Thread.sleep(200);
        assertTrue(VPP_DoPlay(widget.window()), "the next call serves what the thread asked for");
        assertEquals(List.of("from a thread"), recorder.traces);
        assertNotEquals(0, GetVPPInstance(widget.window()));
    }

    @Test
    void theEnginesOwnThrowIsCaughtInItsProcessWhichLivesOn() {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder, "recording");
        int helper = RecordingEngine.processId();
        RecordingEngine.setRaise(RecordingEngine.DO_PLAY, RecordingEngine.RAISE_CPP);
        assertFalse(VPP_DoPlay(widget.window()), "the engine raised");
        RecordingEngine.setRaise(RecordingEngine.DO_PLAY, 0);
        assertTrue(VPP_DoPlay(widget.window()));
        assertEquals(helper, RecordingEngine.processId());
        assertArrayEquals(new String[0], recorder.traces.toArray());
    }
}
