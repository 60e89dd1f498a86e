package com.ostrel.quillbench.SWTVantraPlayer;

import static com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.*;
import static org.junit.jupiter.api.Assertions.*;

import com.ostrel.quillbench.headless.HeadlessWin32;
import com.ostrel.quillbench.testing.NativeCaller;
import com.ostrel.quillbench.testing.RecordingEngine;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Consumer;
import java.util.function.LongFunction;
import java.util.function.Supplier;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.TestFactory;
import org.junit.jupiter.api.function.Executable;

/**
 * Every native against every kind of bad input, as one table: bad handles, null strings, short and
 * null arrays, an exception pending at entry, listeners that throw, engines that raise, fail or are
 * missing, and engine texts that are null or malformed. Each row must give its neutral result, and
 * the virtual machine and the library must go on working afterwards.
 */
class BadInputMatrixTest {
    private static final String ENGINES = System.getProperty("vp.engines");
    private static final long NEVER_MADE = 0x12345678L;

    /** A native called on a handle, with the result it must give for a handle that is no window. */
    record Row(String name, LongFunction<Object> call, Object neutral) {}

    private static final List<Row> NATIVES = List.of(
            new Row("GetVPPInstance", h -> GetVPPInstance(h), 0L),
            new Row("destroyVantraPlayerHostWindow", h -> destroyVantraPlayerHostWindow(h), 0L),
            new Row("resizeVantraPlayerHostWindow", h -> run(() -> resizeVantraPlayerHostWindow(h, 0, 0, 9, 9)), "void"),
            new Row("drawVantraPlayerHostWindow", h -> run(() -> drawVantraPlayerHostWindow(h, 0, 0, 9, 9)), "void"),
            new Row("setFocus", h -> run(() -> setFocus(h, 0)), "void"),
            new Row("KickIdle", h -> run(() -> KickIdle(h)), "void"),
            new Row("VPP_StopPlay", h -> VPP_StopPlay(h), false),
            new Row("VPP_DoPlay", h -> VPP_DoPlay(h), false),
            new Row("VPP_LoadMovie", h -> VPP_LoadMovie(h, 1, "m", true), false),
            new Row("VPP_SetVariable", h -> VPP_SetVariable(h, "a", "b"), false),
            new Row("VPP_GetVariable", h -> VPP_GetVariable(h, "a"), "false"),
            new Row("VPP_CallFunction", h -> VPP_CallFunction(h, "x"), false),
            new Row("VPP_CallFunction2", h -> VPP_CallFunction2(h, "x"), ""),
            new Row("setVantraPlayerHostWindowPosition", h -> run(() -> setVantraPlayerHostWindowPosition(h, 3)), "void"),
            new Row("setMaximum", h -> run(() -> setMaximum(h, 3)), "void"),
            new Row("setMinimum", h -> run(() -> setMinimum(h, 3)), "void"),
            new Row("getVantraPlayerHostWindowPosition", h -> getVantraPlayerHostWindowPosition(h), 0),
            new Row("getMaximum", h -> getMaximum(h), 0),
            new Row("getMinimum", h -> getMinimum(h), 0),
            new Row("VPA_PlayerStartDebugger", h -> VPA_PlayerStartDebugger(h), 0),
            new Row("VPP_KillEdittextFocus", h -> VPP_KillEdittextFocus(h), false),
            new Row("VPP_SetQuality", h -> VPP_SetQuality(h, 1), false),
            new Row("VPP_PushData", h -> VPP_PushData(h, 1, 2), false),
            new Row("VPP_PushDataBuf", h -> VPP_PushDataBuf(h, 1, 2), false),
            new Row("VPP_HasEdittextFocus", h -> VPP_HasEdittextFocus(h), false),
            new Row("VPP_CancelCapture", h -> VPP_CancelCapture(h, 1), false),
            new Row("VPP_UpdateCursor", h -> VPP_UpdateCursor(h), false),
            new Row("VPP_SendDebugInfo", h -> VPP_SendDebugInfo(h, 1), false),
            new Row("VPP_SetPlayerType", h -> VPP_SetPlayerType(h, "x"), false));

    /**
     * A native entered with an exception pending: what it gives ("any" for a result not fixed
     * here), the exception kept; natives that work with Java objects do nothing ("silent"), the
     * others work as usual.
     */
    private static final String[][] PENDING = {
        {"initIDs", "void kept", "silent"}, {"createVantraPlayerHostWindow", "0 kept", "silent"},
        {"GetVPPInstance", "any kept", "silent"}, {"destroyVantraPlayerHostWindow", "0 kept", "works"},
        {"computeVantraPlayerHostWindowSize", "void kept", "silent"}, {"resizeVantraPlayerHostWindow", "void kept", "works"},
        {"drawVantraPlayerHostWindow", "void kept", "works"}, {"setFocus", "void kept", "works"},
        {"KickIdle", "void kept", "works"}, {"suppressVantraPlayerHostWindowPainting", "void kept", "works"},
        {"VPP_1StopPlay", "true kept", "works"}, {"VPP_1DoPlay", "true kept", "works"},
        {"VPP_1LoadMovie", "false kept", "silent"}, {"VPP_1SetVariable", "false kept", "silent"},
        {"VPP_1GetVariable", "null kept", "silent"}, {"VPP_1CallFunction", "false kept", "silent"},
        {"VPP_1CallFunction2", "null kept", "silent"},
    };

    private RecordingEngine engine;
    private long parent;  // of the row's widget
    private int throwingRows;
    private final List<VantraPlayerWidget> widgets = new ArrayList<>();

    @BeforeEach
    void loadEngine() {
        engine = new RecordingEngine(ENGINES + "/recording/Vantra Player 8/stagerun.dll");
    }

    @AfterEach
    void closeEngine() {
        engine.close();
    }

    private static Object run(Runnable action) {
        action.run();
        return "void";
    }

    /** Listener of the rows: records, and throws when told to. */
    static class Listener implements VantraPlayerWidget.Listener {
        final List<String> calls = new ArrayList<>();
        RuntimeException failure;

        private void called(String what) {
            calls.add(what);
            if (failure != null) throw failure;
        }

        @Override
        public void contextMenu(int x, int y) {
            called("contextMenu");
        }

        @Override
        public void doubleClick(int x, int y) {
            called("doubleClick");
        }

        @Override
        public String callFunction(String request) {
            called("callFunction");
            return "reply";
        }

        @Override
        public void trace(String text) {
            called("trace");
        }
    }

    /** A row that runs with a fresh parent and a widget on the given engine, and cleans up after. */
    private DynamicTest withWidget(String name, String engineFolder, Listener listener, Consumer<VantraPlayerWidget> body) {
        return DynamicTest.dynamicTest(name, () -> {
            parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
            RecordingEngine.reset();
            VantraPlayerWidget widget = new VantraPlayerWidget(listener);
            try {
                assertNotEquals(0, widget.create(parent, "/" + ENGINES + "/" + engineFolder + "/"));
                widgets.add(widget);
                body.accept(widget);
                stillWorks(widget);
            } finally {
                widget.destroy();
                HeadlessWin32.reset();
            }
        });
    }

    private DynamicTest withWidget(String name, Consumer<VantraPlayerWidget> body) {
        return withWidget(name, "recording", new Listener(), body);
    }

    /** The window, the engine and the virtual machine answer normally again. */
    private static void stillWorks(VantraPlayerWidget widget) {
        long w = widget.window();
        if (w == 0 || GetVPPInstance(w) == 0) return;
        RecordingEngine.setRaise(RecordingEngine.DO_PLAY, 0);
        RecordingEngine.setRaise(RecordingEngine.CALL_FUNCTION_2, 0);
        assertTrue(VPP_DoPlay(w), "DoPlay after the bad input");
        assertTrue(VPP_StopPlay(w));
    }

    private static DynamicTest row(String name, Executable body) {
        return DynamicTest.dynamicTest(name, body);
    }

    @TestFactory
    List<DynamicTest> everyNativeAgainstEveryBadInput() {
        List<DynamicTest> rows = new ArrayList<>();
        badHandles(rows);
        nullStringsAndArrays(rows);
        exceptionPendingAtEntry(rows);
        throwingListeners(rows);
        failingEngines(rows);
        engineTexts(rows);
        return rows;
    }

    private void badHandles(List<DynamicTest> rows) {
        for (Row native_ : NATIVES) {
            rows.add(withWidget(native_.name() + " with handle 0 and a never-made handle", widget -> {
                long hwnd = HeadlessWin32.childWindows(parent)[0];
                HeadlessWin32.runUntilIdle();
                HeadlessWin32.moveMouse(300, 200);  // input for the parent, queued
                RecordingEngine.reset();
                assertEquals(native_.neutral(), native_.call().apply(0L));
                assertEquals(native_.neutral(), native_.call().apply(NEVER_MADE));
                // Nothing reached the live window, its engine or the queue.
                assertEquals(0, RecordingEngine.entries().length, "the engine heard nothing");
                assertTrue(HeadlessWin32.isWindow(hwnd));
                assertFalse(HeadlessWin32.isWindowVisible(hwnd));
                assertArrayEquals(new int[] {100, 100}, HeadlessWin32.clientSize(hwnd));
                assertTrue(HeadlessWin32.runUntilIdle() > 0, "the queued input was left alone");
            }));
            rows.add(withWidget(native_.name() + " with a destroyed window's handle", widget -> {
                long destroyed = widget.window();
                widget.destroy();
                RecordingEngine.reset();
                assertEquals(native_.neutral(), native_.call().apply(destroyed));
                assertEquals(0, RecordingEngine.entries().length, "the engine heard nothing");
            }));
        }
        rows.add(row("computeVantraPlayerHostWindowSize and painting suppression with bad handles", () -> {
            for (long handle : new long[] {0, NEVER_MADE}) {
                int[] size = {-1, -1};
                computeVantraPlayerHostWindowSize(handle, size);
                assertArrayEquals(new int[] {-1, -1}, size);
                suppressVantraPlayerHostWindowPainting(handle, true);
            }
            assertNotEquals(0, createVantraPlayerManager());
        }));
    }

    private void nullStringsAndArrays(List<DynamicTest> rows) {
        rows.add(withWidget("null strings give the failure results and reach no engine", widget -> {
            long w = widget.window();
            RecordingEngine.reset();
            assertFalse(VPP_LoadMovie(w, 1, null, true));
            assertFalse(VPP_SetVariable(w, null, "v"));
            assertFalse(VPP_SetVariable(w, "n", null));
            assertEquals("false", VPP_GetVariable(w, null));
            assertFalse(VPP_CallFunction(w, null));
            assertNull(VPP_CallFunction2(w, null));
            assertFalse(VPP_SetPlayerType(w, null));
            assertEquals(0, RecordingEngine.entries().length);
            assertEquals(0, new VantraPlayerWidget(new Listener()).createVantraPlayerHostWindow(w, null));
        }));
        rows.add(withWidget("null, empty, short and long size arrays", widget -> {
            long w = widget.window();
            RecordingEngine.setResult(RecordingEngine.GET_MOVIE_SIZE, (64L << 16) | 48);
            computeVantraPlayerHostWindowSize(w, null);
            int[] empty = {}, one = {-1}, three = {-1, -1, -1};
            computeVantraPlayerHostWindowSize(w, empty);
            computeVantraPlayerHostWindowSize(w, one);
            computeVantraPlayerHostWindowSize(w, three);
            assertArrayEquals(new int[] {-1}, one);
            assertArrayEquals(new int[] {64, 48, -1}, three);
        }));
    }

    private void exceptionPendingAtEntry(List<DynamicTest> rows) {
        for (String[] pending : PENDING) {
            rows.add(withWidget(pending[0] + " entered with an exception pending", widget -> {
                RecordingEngine.reset();
                int[] size = {-1, -1};
                String outcome = NativeCaller.callWithPendingException(pending[0], widget.window(), widget, "text", size);
                if (pending[1].startsWith("any ")) {
                    assertTrue(outcome.endsWith(pending[1].substring(3)), outcome);
                } else {
                    assertEquals(pending[1], outcome);
                }
                assertArrayEquals(new int[] {-1, -1}, size);
                if (pending[2].equals("silent")) assertEquals(0, RecordingEngine.entries().length, "the engine heard nothing");
            }));
        }
    }

    private void throwingListeners(List<DynamicTest> rows) {
        rows.add(upCallThatThrows("trace", w -> {
            RecordingEngine.traceOn(RecordingEngine.DO_PLAY, "t");
            return () -> VPP_DoPlay(w);
        }, 1));
        rows.add(upCallThatThrows("callFunction", w -> {
            RecordingEngine.callFunctionOn(RecordingEngine.DO_PLAY, "<invoke name=\"f\"/>");
            return () -> VPP_DoPlay(w);
        }, 1));
        // Up-calls inside natives that return a Java string: no string is made with the exception pending.
        rows.add(upCallThatThrows("callFunction", w -> {
            RecordingEngine.callFunctionOn(RecordingEngine.GET_VARIABLE, "<invoke name=\"f\"/>");
            return () -> VPP_GetVariable(w, "a");
        }, 1));
        rows.add(upCallThatThrows("trace", w -> {
            RecordingEngine.traceOn(RecordingEngine.CALL_FUNCTION_2, "t");
            return () -> VPP_CallFunction2(w, "x");
        }, 1));
        rows.add(upCallThatThrows("doubleClick", w -> {
            resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
            for (int i = 0; i < 2; i++) {
                HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
                HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
            }
            return () -> KickIdle(w);
        }, -1));
        rows.add(upCallThatThrows("contextMenu", w -> {
            resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
            HeadlessWin32.pressButton(HeadlessWin32.RIGHT_BUTTON, 5, 5);
            return () -> KickIdle(w);
        }, -1));
    }

    /** The listener's exception reaches the Java caller of the native that led to the up-call. */
    private DynamicTest upCallThatThrows(String upCall, LongFunction<Executable> arrange, int expectedStatus) {
        Listener listener = new Listener();
        return withWidget(upCall + " with a listener that throws (" + (++throwingRows) + ")", "recording", listener,
                widget -> {
            Executable trigger = arrange.apply(widget.window());
            listener.failure = new IllegalStateException(upCall + " failed");
            IllegalStateException thrown = assertThrows(IllegalStateException.class, trigger);
            assertEquals(upCall + " failed", thrown.getMessage());
            assertTrue(listener.calls.contains(upCall), listener.calls.toString());
            if (expectedStatus >= 0) assertEquals(expectedStatus, RecordingEngine.lastStatus());
            listener.failure = null;
        });
    }

    private void failingEngines(List<DynamicTest> rows) {
        rows.add(withWidget("DoPlay with an engine that raises", widget -> {
            RecordingEngine.setRaise(RecordingEngine.DO_PLAY, RecordingEngine.RAISE_CPP);
            assertFalse(VPP_DoPlay(widget.window()));
        }));
        rows.add(withWidget("CallFunction2 with an engine that raises", widget -> {
            RecordingEngine.setRaise(RecordingEngine.CALL_FUNCTION_2, RecordingEngine.RAISE_CPP);
            assertEquals("Vantra Player Exception, ABORT", VPP_CallFunction2(widget.window(), "x"));
        }));
        for (String folder : new String[] {"no-such-engine", "recording-failinit", "recording-noentry"}) {
            rows.add(withWidget("every call on a window whose engine is " + folder, folder, new Listener(), widget -> {
                long w = widget.window();
                assertEquals(0, GetVPPInstance(w));
                assertFalse(VPP_LoadMovie(w, 1, "m", true));
                assertFalse(VPP_SetVariable(w, "a", "b"));
                assertEquals("", VPP_GetVariable(w, "a"));
                assertFalse(VPP_CallFunction(w, "x"));
                assertEquals("", VPP_CallFunction2(w, "x"));
                assertFalse(VPP_DoPlay(w));
                assertTrue(VPP_StopPlay(w));
                int[] size = {-1, -1};
                computeVantraPlayerHostWindowSize(w, size);
                assertArrayEquals(new int[] {0, 0}, size);
                resizeVantraPlayerHostWindow(w, 0, 0, 80, 60);
                drawVantraPlayerHostWindow(w, 0, 0, 80, 60);
                KickIdle(w);
            }));
        }
    }

    private void engineTexts(List<DynamicTest> rows) {
        rows.add(withWidget("null texts from the engine read as empty", widget -> {
            RecordingEngine.setTextResult(RecordingEngine.GET_VARIABLE, null);
            RecordingEngine.setTextResult(RecordingEngine.CALL_FUNCTION_2, null);
            assertEquals("", VPP_GetVariable(widget.window(), "a"));
            assertEquals("", VPP_CallFunction2(widget.window(), "x"));
        }));
        byte[][] malformed = {
            {'a', (byte) 0xFF, 'b'},                                  // never a UTF-8 byte
            {'a', (byte) 0x80, 'b'},                                  // a continuation alone
            {'a', (byte) 0xE2, (byte) 0x82, 'b'},                     // a sequence cut short
            {'a', (byte) 0xF0, (byte) 0x9F, (byte) 0x98, (byte) 0x80, 'b'},  // four bytes: not modified UTF-8
            {'a', (byte) 0xC1, (byte) 0x81, 'b'},                     // overlong
        };
        for (byte[] text : malformed) {
            rows.add(withWidget("engine text " + hex(text) + " reaches Java with U+FFFD", widget -> {
                RecordingEngine.setTextResult(RecordingEngine.GET_VARIABLE, text);
                RecordingEngine.setTextResult(RecordingEngine.CALL_FUNCTION_2, text);
                for (Supplier<String> read : List.<Supplier<String>>of(
                             () -> VPP_GetVariable(widget.window(), "a"), () -> VPP_CallFunction2(widget.window(), "x"))) {
                    String value = read.get();
                    assertTrue(value.startsWith("a") && value.endsWith("b") && value.contains("\uFFFD"), value);
                    assertEquals(-1, value.indexOf('\0'));
                }
            }));
        }
    }

    private static String hex(byte[] bytes) {
        StringBuilder text = new StringBuilder();
        for (byte b : bytes) text.append(String.format("%02X", b & 0xFF));
        return text.toString();
    }
}
