package com.ostrel.quillbench.SWTVantraPlayer;

/**
 * A movie player inside a native window, as the native library expects its widget class. In the
 * application this is an SWT control; this one has no SWT dependency and hands the calls that come
 * from the movie to a {@link Listener}.
 *
 * <p>Every method must be called on the thread that runs the native windows. Window handles are the
 * native library's; 0 stands for no window.
 */
public class VantraPlayerWidget {
    /** What the movie and the native window ask of the Java side. */
    public interface Listener {
        /** The right mouse button went down at (x, y), client pixels. */
        default void contextMenu(int x, int y) {}

        /** A left double click at (x, y). */
        default void doubleClick(int x, int y) {}

        /** A scripting call from the movie; the reply goes back to it. */
        default String callFunction(String request) {
            return "";
        }

        /** A trace line from the movie. */
        default void trace(String text) {}
    }

    static {
        NativeLoader.load();
        initIDs();
    }

    private final Listener listener;
    private long window;

    public VantraPlayerWidget(Listener listener) {
        this.listener = listener;
    }

    /**
     * Creates the native window, hidden, as a child of {@code parent}; the engine is loaded from
     * "Vantra Player 8\stagerun.dll" under {@code playerFolder}, which is given with a leading
     * character that is dropped ("/C:/Program Files/Vantra/"). Returns the window handle, 0 on
     * failure.
     */
    public long create(long parent, String playerFolder) {
        window = createVantraPlayerHostWindow(parent, playerFolder);
        return window;
    }

    /** Destroys the native window and its engine instance. */
    public void destroy() {
        destroyVantraPlayerHostWindow(window);
        window = 0;
    }

    public long window() {
        return window;
    }

    // ---- calls from the native library ----

    void HandlePlayerWindowContextMenuEvent(int[] point) {
        listener.contextMenu(point[0], point[1]);
    }

    void HandlePlayerWindowDoubleClick(int[] point) {
        listener.doubleClick(point[0], point[1]);
    }

    String VPA_CallFunction(String request) {
        return listener.callFunction(request);
    }

    void VPA_Trace(String text) {
        listener.trace(text);
    }

    // ---- native methods ----

    static native void initIDs();

    public static native long createVantraPlayerManager();

    public native long createVantraPlayerHostWindow(long parent, String playerFolder);

    public static native long GetVPPInstance(long window);

    public static native long destroyVantraPlayerHostWindow(long window);

    /** Writes the movie's width and height into size[0] and size[1]. */
    public static native void computeVantraPlayerHostWindowSize(long window, int[] size);

    /** Shows the window and places it in its parent's client area. */
    public static native void resizeVantraPlayerHostWindow(long window, int x, int y, int width, int height);

    public static native void drawVantraPlayerHostWindow(long window, int left, int top, int right, int bottom);

    public static native void setFocus(long window, int unused);

    /** Dispatches the thread's queued messages, then tells the window that the queue is idle. */
    public static native void KickIdle(long window);

    public static native void suppressVantraPlayerHostWindowPainting(long window, boolean suppress);

    public static native boolean VPP_StopPlay(long window);

    public static native boolean VPP_DoPlay(long window);

    public static native boolean VPP_LoadMovie(long window, int number, String url, boolean option);

    public static native boolean VPP_SetVariable(long window, String name, String value);

    public static native String VPP_GetVariable(long window, String name);

    public static native boolean VPP_CallFunction(long window, String request);

    public static native String VPP_CallFunction2(long window, String request);

    public static native void setVantraPlayerHostWindowPosition(long window, int position);

    public static native int getVantraPlayerHostWindowPosition(long window);

    public static native void setMaximum(long window, int maximum);

    public static native int getMaximum(long window);

    public static native void setMinimum(long window, int minimum);

    public static native int getMinimum(long window);

    public static native int VPA_PlayerStartDebugger(long window);

    public static native boolean VPP_KillEdittextFocus(long window);

    public static native boolean VPP_SetQuality(long window, int quality);

    public static native boolean VPP_PushData(long window, int first, int second);

    public static native boolean VPP_PushDataBuf(long window, int first, int second);

    public static native boolean VPP_HasEdittextFocus(long window);

    public static native boolean VPP_CancelCapture(long window, int capture);

    public static native boolean VPP_UpdateCursor(long window);

    public static native boolean VPP_SendDebugInfo(long window, int info);

    public static native boolean VPP_SetPlayerType(long window, Object type);
}
