package com.ostrel.quillbench.headless;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** The Java face of the headless backend, as later Java tests use it. */
class HeadlessWin32Test {
    @AfterEach
    void reset() {
        HeadlessWin32.reset();
    }

    @Test
    void topLevelWindowIsVisibleAndPaintsItsBackgroundWhite() {
        long hwnd = HeadlessWin32.createTopLevelWindow(10, 20, 40, 30);
        assertTrue(HeadlessWin32.isWindowVisible(hwnd));
        assertArrayEquals(new int[] {40, 30}, HeadlessWin32.clientSize(hwnd));
        assertTrue(HeadlessWin32.runUntilIdle() >= 1, "the first paint");
        int[] pixels = HeadlessWin32.readWindowPixels(hwnd);
        assertEquals(40 * 30, pixels.length);
        for (int pixel : pixels) assertEquals(0xFFFFFF, pixel);
        assertEquals(0, HeadlessWin32.countLiveDCs(), "paint DCs are released");
    }

    @Test
    void destroyedWindowIsGoneAndCountsReturnToZero() {
        long hwnd = HeadlessWin32.createTopLevelWindow(0, 0, 10, 10);
        assertEquals(1, HeadlessWin32.countLiveWindows());
        assertTrue(HeadlessWin32.destroyWindow(hwnd));
        assertFalse(HeadlessWin32.isWindow(hwnd));
        assertEquals(0, HeadlessWin32.countLiveWindows());
        assertEquals(0, HeadlessWin32.countLiveGdiObjects());
        assertArrayEquals(new int[] {0, 0}, HeadlessWin32.clientSize(hwnd));
    }

    @Test
    void injectedInputIsQueuedForTheWindowUnderThePointer() {
        HeadlessWin32.createTopLevelWindow(0, 0, 50, 50);
        HeadlessWin32.runUntilIdle();
        HeadlessWin32.moveMouse(10, 10);
        HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, 10, 10);
        HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, 10, 10);
        assertTrue(HeadlessWin32.runUntilIdle() >= 3);
        HeadlessWin32.moveMouse(500, 500);  // over no window: nothing queued
        assertEquals(0, HeadlessWin32.runUntilIdle());
    }

    @Test
    void noMessageBoxShownMeansNoneReported() {
        HeadlessWin32.answerNextMessageBoxes(new int[] {7});
        assertEquals(0, HeadlessWin32.takeShownMessageBoxes().length);
    }
}
