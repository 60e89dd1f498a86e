package com.ostrel.quillbench.headless;

/**
 * Test control of the headless Win32 backend, for Java tests and the demo: the
 * things a person or the window system would do. Window handles are Java longs.
 * Coordinates are screen pixels; a top-level window's client area starts at its
 * position. Every call must come from the thread that runs the windows.
 */
public final class HeadlessWin32 {
    public static final int LEFT_BUTTON = 0;
    public static final int RIGHT_BUTTON = 1;

    static {
        System.loadLibrary("headless_win32");
    }

    private HeadlessWin32() {}

    /** What a message box showed, and how it was answered. */
    public static final class MessageBox {
        public final long owner;
        public final String text;
        public final String caption;
        public final int type;
        public final int answer;

        MessageBox(long owner, String text, String caption, int type, int answer) {
            this.owner = owner;
            this.text = text;
            this.caption = caption;
            this.type = type;
            this.answer = answer;
        }
    }

    /** A visible top-level window without frame, the parent for child windows. */
    public static native long createTopLevelWindow(int x, int y, int width, int height);

    public static native boolean destroyWindow(long hwnd);

    public static native boolean isWindow(long hwnd);

    public static native boolean isWindowVisible(long hwnd);

    public static native void moveMouse(int x, int y);

    public static native void pressButton(int button, int x, int y);

    public static native void releaseButton(int button, int x, int y);

    public static native void turnWheel(int delta, int x, int y);

    public static native void pressKey(int virtualKey, int repeatCount, int scanCode);

    public static native void releaseKey(int virtualKey, int scanCode);

    public static native void setKeyDown(int virtualKey, boolean down);

    /** The next message boxes answer these, in order (IDOK 1, IDYES 6, IDNO 7). */
    public static native void answerNextMessageBoxes(int[] answers);

    /** The message boxes shown since the last call, oldest first. */
    public static native MessageBox[] takeShownMessageBoxes();

    /** Client width and height of a window; {0, 0} for no window. */
    public static native int[] clientSize(long hwnd);

    /** SendMessageW, for messages no control here produces (WM_CHAR, WM_MENUSELECT). */
    public static native long sendMessage(long hwnd, int message, long wParam, long lParam);

    /** From now on, keeps every message that reaches DefWindowProcW for the window. */
    public static native void watchDefaultProcessing(long hwnd);

    /** The kept messages as (message, wParam, lParam) triples, oldest first; forgets them. */
    public static native long[] takeDefaultProcessed(long hwnd);

    /** Client pixels as 0xRRGGBB, row by row from the top. */
    public static native int[] readWindowPixels(long hwnd);

    /** The child windows of a window, bottom of the z-order first. */
    public static native long[] childWindows(long hwnd);

    public static native int countLiveDCs();

    public static native int countLiveGdiObjects();

    public static native int countLiveWindows();

    /** Dispatches queued messages until none is left; returns how many. */
    public static native int runUntilIdle();

    /** Destroys every window and forgets all input state. */
    public static native void reset();
}
