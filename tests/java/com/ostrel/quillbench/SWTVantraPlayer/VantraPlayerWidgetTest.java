package com.ostrel.quillbench.SWTVantraPlayer;

import static com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.*;
import static org.junit.jupiter.api.Assertions.*;

import com.ostrel.quillbench.headless.HeadlessWin32;
import com.ostrel.quillbench.testing.RecordingEngine;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The widget's natives in a real virtual machine, against the recording engine. */
class VantraPlayerWidgetTest extends WidgetTestBase {
    /** Remembers what reached the Java side. */
    static class Recorder implements VantraPlayerWidget.Listener {
        final List<String> calls = new ArrayList<>();
        String reply = "pong";
        RuntimeException failure;

        @Override
        public void contextMenu(int x, int y) {
            calls.add("contextMenu " + x + "," + y);
        }

        @Override
        public void doubleClick(int x, int y) {
            calls.add("doubleClick " + x + "," + y);
        }

        @Override
        public String callFunction(String request) {
            calls.add("callFunction " + request);
            if (failure != null) throw failure;
            return reply;
        }

        @Override
        public void trace(String text) {
            calls.add("trace " + text);
        }
    }

    private VantraPlayerWidget widget(Recorder recorder) {
        return widget(recorder, "recording");
    }

    private long childOfParent() {
        return lastChildOf(parent);
    }

    @Test
    void aNewWindowIsHiddenUntilItIsResizedAndIsGoneAfterDestroy() {
        VantraPlayerWidget widget = widget(new Recorder());
        long hwnd = childOfParent();
        assertFalse(HeadlessWin32.isWindowVisible(hwnd));
        assertArrayEquals(new int[] {100, 100}, HeadlessWin32.clientSize(hwnd));
        resizeVantraPlayerHostWindow(widget.window(), 10, 20, 120, 80);
        assertTrue(HeadlessWin32.isWindowVisible(hwnd));
        assertArrayEquals(new int[] {120, 80}, HeadlessWin32.clientSize(hwnd));
        assertNotEquals(0, GetVPPInstance(widget.window()));
        assertEquals(0, destroyVantraPlayerHostWindow(widget.window()));
        widgets.remove(widget);
        assertFalse(HeadlessWin32.isWindow(hwnd));
        int[] entries = RecordingEngine.entries();
        assertEquals(RecordingEngine.SHUTDOWN, entries[entries.length - 1]);
    }

    @Test
    void moviesLoadVariablesTravelAndCallsReply() {
        VantraPlayerWidget widget = widget(new Recorder());
        long w = widget.window();
        RecordingEngine.reset();
        assertTrue(VPP_LoadMovie(w, 7, "file:///m.vmv", true));
        RecordingEngine.setResult(RecordingEngine.LOAD_MOVIE, 3);
        assertFalse(VPP_LoadMovie(w, 7, "bad", false));
        int[] entries = RecordingEngine.entries();
        assertArrayEquals(new int[] {80, 23, 80, 23}, entries);  // the mode goes to 3 before every load
        assertEquals(3, RecordingEngine.args(0)[0]);
        assertEquals("file:///m.vmv", RecordingEngine.text(1));
        assertArrayEquals(new long[] {7, 1, 0, 0, 0}, RecordingEngine.args(1));

        RecordingEngine.setResult(RecordingEngine.SET_VARIABLE, 1);
        assertTrue(VPP_SetVariable(w, "name", "value"));
        RecordingEngine.setTextResult(RecordingEngine.GET_VARIABLE, "42".getBytes(StandardCharsets.UTF_8));
        assertEquals("42", VPP_GetVariable(w, "name"));
        RecordingEngine.setTextResult(RecordingEngine.GET_VARIABLE, null);
        assertEquals("", VPP_GetVariable(w, "name"));

        assertEquals("", VPP_CallFunction2(w, "<invoke name=\"f\"/>"));
        RecordingEngine.setTextResult(RecordingEngine.CALL_FUNCTION_2, "<string>ok</string>".getBytes());
        assertEquals("<string>ok</string>", VPP_CallFunction2(w, "<invoke name=\"f\"/>"));
        RecordingEngine.setTextResult(RecordingEngine.CALL_FUNCTION_2, new byte[] {'a', (byte) 0xFF, 'b'});
        assertEquals("a\uFFFDb", VPP_CallFunction2(w, "x"));
        RecordingEngine.setRaise(RecordingEngine.CALL_FUNCTION_2, RecordingEngine.RAISE_CPP);
        assertEquals("Vantra Player Exception, ABORT", VPP_CallFunction2(w, "x"));
        RecordingEngine.setRaise(RecordingEngine.CALL_FUNCTION_2, 0);
        assertTrue(VPP_DoPlay(w));
        assertTrue(VPP_StopPlay(w));

        RecordingEngine.setResult(RecordingEngine.GET_MOVIE_SIZE, (320L << 16) | 240);
        int[] size = new int[2];
        computeVantraPlayerHostWindowSize(w, size);
        assertArrayEquals(new int[] {320, 240}, size);
        computeVantraPlayerHostWindowSize(w, new int[1]);  // too short: untouched, no crash
    }

    @Test
    void engineTextsOutsideModifiedUtf8AreReplacedExactlyAtTheOverlongBounds() {
        long w = widget(new Recorder()).window();
        Object[][] cases = {
            {new byte[] {(byte) 0xE0, (byte) 0x9F, (byte) 0xBF}, "\uFFFD\uFFFD\uFFFD"},  // overlong U+07FF
            {new byte[] {(byte) 0xE0, (byte) 0xA0, (byte) 0x80}, "\u0800"},  // the smallest three-byte form
            {new byte[] {(byte) 0xC1, (byte) 0xBF}, "\uFFFD\uFFFD"},  // overlong U+007F
            {new byte[] {(byte) 0xC2, (byte) 0x80}, "\u0080"},
            {new byte[] {'a', (byte) 0xC0, (byte) 0x80, 'b'}, "a\u0000b"},  // modified UTF-8's NUL
            {new byte[] {(byte) 0xF0, (byte) 0x9F, (byte) 0x98, (byte) 0x80}, "\uFFFD\uFFFD\uFFFD\uFFFD"},
        };
        for (Object[] c : cases) {
            RecordingEngine.setTextResult(RecordingEngine.CALL_FUNCTION_2, (byte[]) c[0]);
            assertEquals(c[1], VPP_CallFunction2(w, "x"), Arrays.toString((byte[]) c[0]));
        }
    }

    @Test
    void aWindowWithoutEngineStillWorks() {
        VantraPlayerWidget widget = widget(new Recorder(), "no-such-engine");
        long w = widget.window();
        assertEquals(0, GetVPPInstance(w));
        assertTrue(VPP_StopPlay(w));
        assertFalse(VPP_DoPlay(w));
        assertFalse(VPP_LoadMovie(w, 1, "m", true));
        assertEquals("", VPP_CallFunction2(w, "x"));
        int[] size = {-1, -1};
        computeVantraPlayerHostWindowSize(w, size);
        assertArrayEquals(new int[] {0, 0}, size);
    }

    @Test
    void windowsWithoutEngineEachReachTheirOwnWidget() {
        Recorder first = new Recorder();
        Recorder second = new Recorder();
        long one = widget(first, "no-such-engine").window();
        long two = widget(second, "no-such-engine").window();
        resizeVantraPlayerHostWindow(one, 0, 0, 50, 50);
        resizeVantraPlayerHostWindow(two, 100, 0, 50, 50);
        HeadlessWin32.pressButton(HeadlessWin32.RIGHT_BUTTON, 110, 10);
        HeadlessWin32.releaseButton(HeadlessWin32.RIGHT_BUTTON, 110, 10);
        KickIdle(two);
        for (int click = 0; click < 2; click++) {
            HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 20, 30);
            HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 20, 30);
        }
        KickIdle(one);
        assertEquals(Arrays.asList("doubleClick 20,30"), first.calls);
        assertEquals(Arrays.asList("contextMenu 10,10"), second.calls);
    }

    @Test
    void anEngineThatLeftAnEntryEmptyNeverReportsSuccessThroughIt() {
        long w = widget(new Recorder(), "noop").window();  // it has no LoadMovie entry
        assertNotEquals(0, GetVPPInstance(w));
        assertFalse(VPP_LoadMovie(w, 1, "m", true));
        assertTrue(VPP_DoPlay(w));
        assertEquals("42", VPP_GetVariable(w, "x"));
    }

    @Test
    void upCallsReachTheWidgetOfTheirOwnWindowOnly() {
        Recorder first = new Recorder();
        Recorder second = new Recorder();
        VantraPlayerWidget one = widget(first);
        widget(second);
        RecordingEngine.traceOn(RecordingEngine.DO_PLAY, "frame 1");
        assertTrue(VPP_DoPlay(one.window()));
        assertEquals(0, RecordingEngine.lastStatus());
        RecordingEngine.callFunctionOn(RecordingEngine.DO_PLAY, "<invoke name=\"ping\"/>");
        assertTrue(VPP_DoPlay(one.window()));
        assertEquals(0, RecordingEngine.lastStatus());
        assertEquals("pong", RecordingEngine.lastReply());
        assertEquals(Arrays.asList("trace frame 1", "callFunction <invoke name=\"ping\"/>"), first.calls);
        assertTrue(second.calls.isEmpty());
    }

    @Test
    void aJavaExceptionInAnUpCallIsReportedToTheEngineAndReachesTheCaller() {
        Recorder recorder = new Recorder();
        recorder.failure = new IllegalStateException("from the listener");
        VantraPlayerWidget widget = widget(recorder);
        RecordingEngine.callFunctionOn(RecordingEngine.CALL_FUNCTION, "x");
        IllegalStateException thrown =
                assertThrows(IllegalStateException.class, () -> VPP_CallFunction(widget.window(), "go"));
        assertEquals("from the listener", thrown.getMessage());
        assertEquals(1, RecordingEngine.lastStatus());
        assertNull(RecordingEngine.lastReply());
        assertTrue(VPP_StopPlay(widget.window()));  // the virtual machine and the window go on working
    }

    @Test
    void kickIdleDeliversQueuedInputSoTheMovieAndJavaSeeIt() {
        Recorder recorder = new Recorder();
        VantraPlayerWidget widget = widget(recorder);
        long w = widget.window();
        resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
        KickIdle(w);
        RecordingEngine.reset();
        HeadlessWin32.moveMouse(10, 12);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 10, 12);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 10, 12);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 10, 12);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 10, 12);
        HeadlessWin32.pressButton(HeadlessWin32.RIGHT_BUTTON, 11, 13);
        KickIdle(w);
        assertEquals(0, HeadlessWin32.runUntilIdle(), "KickIdle drained the queue");
        List<String> invocations = new ArrayList<>();
        int[] entries = RecordingEngine.entries();
        for (int i = 0; i < entries.length; i++) {
            if (entries[i] == RecordingEngine.CALL_FUNCTION_2) invocations.add(RecordingEngine.text(i));
        }
        assertTrue(invocations.get(0).startsWith("<invoke name=\"handleMouseEnter\">"), invocations.toString());
        assertTrue(invocations.contains("<invoke name=\"handleLMouseDown\"><arguments><number>10</number>"
                + "<number>12</number><false/><false/><false/></arguments></invoke>"));
        assertTrue(invocations.get(invocations.size() - 1).startsWith("<invoke name=\"handleRMouseDown\">"));
        assertEquals(Arrays.asList("doubleClick 10,12", "contextMenu 11,13"), recorder.calls);
    }

    @Test
    void aWidgetClosedWhileTheEngineIsInsideACallIsClosedWhenTheCallReturns() {
        List<VantraPlayerWidget> self = new ArrayList<>();
        Recorder recorder = new Recorder() {
            @Override
            public String callFunction(String request) {
                self.get(0).destroy();  // also from inside the engine's StopPlay of a destroy
                return super.callFunction(request);
            }
        };
        VantraPlayerWidget widget = widget(recorder);
        widgets.remove(widget);
        self.add(widget);
        long w = widget.window();
        RecordingEngine.reset();
        RecordingEngine.callFunctionOn(RecordingEngine.CALL_FUNCTION, "<invoke name=\"close\"/>");
        assertFalse(VPP_CallFunction(w, "go"));
        int[] entries = RecordingEngine.entries();
        assertEquals(RecordingEngine.CALL_FUNCTION, entries[0]);
        assertEquals(RecordingEngine.SHUTDOWN, entries[entries.length - 1]);
        assertEquals(1, HeadlessWin32.countLiveWindows());

        VantraPlayerWidget second = widget(recorder);
        widgets.remove(second);
        self.set(0, second);
        RecordingEngine.callFunctionOn(RecordingEngine.STOP_PLAY, "x");
        second.destroy();  // the listener destroys it again from inside
        assertEquals(1, HeadlessWin32.countLiveWindows());
    }

    @Test
    void aWidgetClosedFromItsOwnUpCallIsClosedSafely() {
        List<VantraPlayerWidget> self = new ArrayList<>();
        Recorder recorder = new Recorder() {
            @Override
            public void doubleClick(int x, int y) {
                super.doubleClick(x, y);
                self.get(0).destroy();
            }
        };
        VantraPlayerWidget widget = widget(recorder);
        widgets.remove(widget);
        self.add(widget);
        long w = widget.window();
        resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 5, 5);
        KickIdle(w);
        HeadlessWin32.runUntilIdle();
        assertEquals(Arrays.asList("doubleClick 5,5"), recorder.calls);
        assertEquals(0, widget.window());
        assertEquals(1, HeadlessWin32.countLiveWindows());  // the parent only
    }
}
