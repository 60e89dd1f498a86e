package com.ostrel.quillbench.SWTVantraPlayer;

import static com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.*;
import static org.junit.jupiter.api.Assertions.*;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidgetTest.Recorder;
import com.ostrel.quillbench.headless.HeadlessWin32;
import com.ostrel.quillbench.testing.NativeCaller;
import com.ostrel.quillbench.testing.RecordingEngine;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/** What the host window does when Java drives it through the natives: messages, painting, input, heap. */
class HostWindowNativesTest extends WidgetTestBase {
    private static final int WM_KEYDOWN = 0x100, WM_KEYUP = 0x101, WM_CHAR = 0x102, WM_MENUSELECT = 0x11F,
            WM_USER = 0x400, IDLE_MESSAGE = 883;

    private long window(long parentWindow, String folderText) {
        return widget(new Recorder(), parentWindow, folderText).window();
    }

    private long window() {
        return widget(new Recorder(), "recording").window();
    }

    /** The names of the movie invocations the engine received, in order. */
    private static List<String> invocationNames() {
        List<String> names = new ArrayList<>();
        int[] entries = RecordingEngine.entries();
        for (int i = 0; i < entries.length; i++) {
            if (entries[i] != RecordingEngine.CALL_FUNCTION_2) continue;
            String text = RecordingEngine.text(i);
            names.add(text.substring("<invoke name=\"".length(), text.indexOf('"', "<invoke name=\"".length())));
        }
        return names;
    }

    @Test
    void kickIdleSendsMessage883WithOneAndZeroToTheDefaultProcedureOnce() {
        long w = window();
        long hwnd = lastChildOf(parent);
        resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
        HeadlessWin32.runUntilIdle();
        HeadlessWin32.watchDefaultProcessing(hwnd);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 10, 10);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 10, 10);
        KickIdle(w);  // sent, not posted: it has arrived when KickIdle returns
        long[] seen = HeadlessWin32.takeDefaultProcessed(hwnd);
        assertTrue(seen.length >= 3, Arrays.toString(seen));
        assertArrayEquals(new long[] {IDLE_MESSAGE, 1, 0}, Arrays.copyOfRange(seen, seen.length - 3, seen.length));
        int idleMessages = 0;
        for (int i = 0; i < seen.length; i += 3) idleMessages += seen[i] == IDLE_MESSAGE ? 1 : 0;
        assertEquals(1, idleMessages);
        assertEquals(0, HeadlessWin32.runUntilIdle(), "the queue was drained first");
    }

    @Test
    void keysAndCharactersGoToTheParentUnchangedAndNotToTheEngine() {
        window();
        long hwnd = lastChildOf(parent);
        HeadlessWin32.watchDefaultProcessing(parent);
        RecordingEngine.reset();
        long keyState = 0xC01E0001L;  // repeat count 1, scan code 0x1E, released
        HeadlessWin32.sendMessage(hwnd, WM_KEYDOWN, 0x41, 0x001E0001L);
        HeadlessWin32.sendMessage(hwnd, WM_CHAR, 'a', 0x001E0001L);
        HeadlessWin32.sendMessage(hwnd, WM_KEYUP, 0x41, keyState);
        assertArrayEquals(new long[] {WM_KEYDOWN, 0x41, 0x001E0001L, WM_CHAR, 'a', 0x001E0001L, WM_KEYUP, 0x41, keyState},
                HeadlessWin32.takeDefaultProcessed(parent));
        assertEquals(0, RecordingEngine.entries().length);
    }

    @Test
    void menuSelectionIsAnsweredWithoutDefaultProcessing() {
        window();
        long hwnd = lastChildOf(parent);
        HeadlessWin32.watchDefaultProcessing(hwnd);
        assertEquals(0, HeadlessWin32.sendMessage(hwnd, WM_MENUSELECT, (0x0080L << 16) | 5, 0));
        HeadlessWin32.sendMessage(hwnd, WM_USER, 7, 8);  // a message the window has no handler for
        assertArrayEquals(new long[] {WM_USER, 7, 8}, HeadlessWin32.takeDefaultProcessed(hwnd));
    }

    @Test
    void setFocusMovesTheKeyboardToThatWindow() {
        long otherParent = HeadlessWin32.createTopLevelWindow(500, 0, 200, 200);
        long first = window();
        long second = window(otherParent, "/" + ENGINES + "/recording/");
        HeadlessWin32.watchDefaultProcessing(parent);
        HeadlessWin32.watchDefaultProcessing(otherParent);
        for (long w : new long[] {second, first}) {
            setFocus(w, 0);
            HeadlessWin32.pressKey(0x42, 1, 0x30);
            KickIdle(w);
        }
        // Each window forwarded the key it had while it had the focus to its own parent.
        assertEquals(Arrays.asList("256 66"), keyMessages(HeadlessWin32.takeDefaultProcessed(otherParent)));
        assertEquals(Arrays.asList("256 66"), keyMessages(HeadlessWin32.takeDefaultProcessed(parent)));
    }

    /** "message wParam" of each key message among (message, wParam, lParam) triples. */
    private static List<String> keyMessages(long[] seen) {
        List<String> keys = new ArrayList<>();
        for (int i = 0; i < seen.length; i += 3) {
            if (seen[i] >= WM_KEYDOWN && seen[i] <= WM_CHAR) keys.add(seen[i] + " " + seen[i + 1]);
        }
        return keys;
    }

    @Test
    void aSuppressFlagOfTwoCountsAsFalse() {
        long w = window();
        resizeVantraPlayerHostWindow(w, 0, 0, 60, 40);
        HeadlessWin32.runUntilIdle();
        suppressVantraPlayerHostWindowPainting(w, true);
        RecordingEngine.reset();
        resizeVantraPlayerHostWindow(w, 0, 0, 80, 50);
        HeadlessWin32.runUntilIdle();
        assertFalse(Arrays.stream(RecordingEngine.entries()).anyMatch(e -> e == RecordingEngine.PAINT_AREA));
        NativeCaller.suppressPainting(w, 2);  // not JNI_TRUE: painting resumes and catches up
        HeadlessWin32.runUntilIdle();
        assertTrue(Arrays.stream(RecordingEngine.entries()).anyMatch(e -> e == RecordingEngine.PAINT_AREA));
    }

    @Test
    void drawAsksTheEngineToPaintTopLeftBottomRight() {
        long w = window();
        RecordingEngine.reset();
        drawVantraPlayerHostWindow(w, 10, 20, 30, 40);
        assertArrayEquals(new int[] {RecordingEngine.PAINT_AREA}, RecordingEngine.entries());
        assertArrayEquals(new long[] {20, 10, 40, 30}, Arrays.copyOf(RecordingEngine.args(0), 4));
    }

    @Test
    void thePointerLeavingAndComingBackIsReportedEachTime() {
        long w = window();
        resizeVantraPlayerHostWindow(w, 0, 0, 100, 100);
        HeadlessWin32.runUntilIdle();
        RecordingEngine.reset();
        for (int[] point : new int[][] {{10, 10}, {20, 20}, {300, 200}, {30, 30}, {350, 250}}) {
            HeadlessWin32.moveMouse(point[0], point[1]);
            KickIdle(w);
        }
        List<String> names = invocationNames();
        names.removeIf(name -> name.equals("handleMouseMove"));
        assertEquals(Arrays.asList("handleMouseEnter", "handleMouseLeave", "handleMouseEnter", "handleMouseLeave"),
                names);
    }

    @Test
    void anEngineInAFolderNamedOutsideLatin1Loads() throws IOException {
        Path folder = Files.createTempDirectory("vp-\u03A9\u03BC\u03AD\u03B3\u03B1-\u65E5\u672C-");
        Path engineFolder = Files.createDirectories(folder.resolve("Vantra Player 8"));
        try {
            Files.copy(Paths.get(ENGINES, "noop", "Vantra Player 8", "stagerun.dll"),
                    engineFolder.resolve("stagerun.dll"));
            long w = window(parent, "/" + folder + "/");
            assertNotEquals(0, GetVPPInstance(w));
            assertEquals("42", VPP_GetVariable(w, "x"));  // the no-op engine's answer
        } finally {
            for (VantraPlayerWidget widget : widgets) widget.destroy();  // the engine file is let go
            widgets.clear();
            Files.deleteIfExists(engineFolder.resolve("stagerun.dll"));
            Files.deleteIfExists(engineFolder);
            Files.deleteIfExists(folder);
        }
    }

    @Test
    void readingVariablesReleasesTheEnginesReplies() {
        long w = window();
        byte[] reply = new byte[64 * 1024];
        Arrays.fill(reply, (byte) 'v');
        RecordingEngine.setTextResult(RecordingEngine.GET_VARIABLE, reply);
        for (int i = 0; i < 50; i++) VPP_GetVariable(w, "warm-up");
        long before = NativeCaller.allocatedBytes();
        assertTrue(before >= 0, "the tests run with a sanitizer that counts the heap");
        int calls = 1000;
        for (int i = 0; i < calls; i++) {
            assertEquals(reply.length, VPP_GetVariable(w, "name").length());
        }
        long grown = NativeCaller.allocatedBytes() - before;
        // Keeping every reply would hold 64 MB; the engine's own record of the calls is under 1 MB.
        assertTrue(grown < 8L * 1024 * 1024, "the heap grew by " + grown + " bytes over " + calls + " reads");
    }
}
