package com.ostrel.quillbench.SWTVantraPlayer;

/**
 * A movie player inside a native window, as the native library expects its widget class. In the
 * application this is an SWT control; this one has no SWT dependency and hands the calls that come
 * from the movie to a {@link Listener}.
 *
 * <h2>Threading</h2>
 *
 * <p>Every method must be called on the thread that runs the application's native windows (the UI
 * thread), the one that created the windows; none takes a lock. The {@link Listener}'s methods are
 * called on that thread too, from inside the natives (while the engine runs a call, or while
 * {@link #KickIdle(long)} dispatches), and may call the natives again.
 *
 * <h2>Handles</h2>
 *
 * <p>Window handles are the native library's: a handle is valid from the
 * {@link #createVantraPlayerHostWindow(long, String)} (or {@link #create(long, String)}) that
 * returned it until the {@link #destroyVantraPlayerHostWindow(long)} that takes it, and must not be
 * used after. 0 stands for no window: every method that takes a handle answers 0 with its neutral
 * result (false, 0, nothing, or the text its documentation names) and touches no window, except
 * {@link #computeVantraPlayerHostWindowSize(long, int[])} and
 * {@link #suppressVantraPlayerHostWindowPainting(long, boolean)}, which need a window. A window
 * whose engine could not be loaded, or whose engine process ended, works without one: it paints
 * white, and the movie methods answer as for no engine.
 *
 * <h2>Where the native library comes from</h2>
 *
 * <p>Loading this class loads the native library for the running JVM, the first match winning:
 *
 * <ol>
 *   <li>the folder the system property {@code vantra.player.natives} names;
 *   <li>the copy this jar carries for the JVM's {@code os.name} and {@code os.arch}, extracted
 *       once into a per-user cache folder named by the hash of the jar's list of files and their
 *       SHA-256 sums, every file checked against that list before the library is loaded (a
 *       temporary folder of the user's own where the cache cannot be used);
 *   <li>{@code java.library.path}, only for a JVM the jar carries nothing for.
 * </ol>
 *
 * <p>Where none gives a library, or the system refuses the verified copy (a policy that forbids
 * code in the user's profile), an {@link UnsatisfiedLinkError} says what was tried and what to do.
 */
public class VantraPlayerWidget {
    /** What the movie and the native window ask of the Java side. */
    public interface Listener {
        /**
         * The right mouse button went down.
         *
         * @param x where, in the window's client pixels
         * @param y where
         */
        default void contextMenu(int x, int y) {}

        /**
         * A left double click.
         *
         * @param x where, in the window's client pixels
         * @param y where
         */
        default void doubleClick(int x, int y) {}

        /**
         * A scripting call from the movie.
         *
         * @param request the call, in the movie's request text
         * @return the reply, which goes back to the movie
         */
        default String callFunction(String request) {
            return "";
        }

        /**
         * A trace line from the movie, or from the library about it (an engine that does not
         * answer, or whose process ended).
         *
         * @param text the line
         */
        default void trace(String text) {}
    }

    static {
        NativeLoader.load();
        initIDs();
    }

    private final Listener listener;
    private long window;

    /**
     * A widget without a window yet.
     *
     * @param listener what the movie and the window ask of the Java side
     */
    public VantraPlayerWidget(Listener listener) {
        this.listener = listener;
    }

    /**
     * Creates the native window, hidden, as a child of {@code parent}; the engine is loaded from
     * "Vantra Player 8\stagerun.dll" under {@code playerFolder}, which is given with a leading
     * character that is dropped ("/C:/Program Files/Vantra/").
     *
     * @param parent the native handle of the parent window
     * @param playerFolder the engine's folder, behind one character that is dropped
     * @return the window handle, 0 on failure
     */
    public long create(long parent, String playerFolder) {
        window = createVantraPlayerHostWindow(parent, playerFolder);
        return window;
    }

    /** Destroys the native window and its engine instance, as {@link #destroyVantraPlayerHostWindow(long)}. */
    public void destroy() {
        destroyVantraPlayerHostWindow(window);
        window = 0;
    }

    /**
     * The window {@link #create(long, String)} made.
     *
     * @return its handle; 0 before it, after {@link #destroy()} or when creating failed
     */
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

    /** Caches the methods the library calls back; done when the class loads. */
    static native void initIDs();

    /**
     * Creates the engine manager early; the first window creates it otherwise.
     *
     * @return the manager's handle, which no method takes back; 0 if there is none
     */
    public static native long createVantraPlayerManager();

    /**
     * Creates a host window, hidden, 100 &times; 100 pixels at the top left of {@code parent}, and
     * its engine instance if the engine can be loaded; this widget then receives its calls.
     *
     * @param parent the native handle of the parent window
     * @param playerFolder the folder of the engine, behind one character that is dropped
     *     ({@code "/C:/Program Files/Vantra/"}); the engine is "Vantra Player 8\stagerun.dll" there
     * @return the window's handle, 0 on failure
     */
    public native long createVantraPlayerHostWindow(long parent, String playerFolder);

    /**
     * The window's engine instance.
     *
     * @param window a window handle
     * @return a handle of its instance, 0 when it has none
     */
    public static native long GetVPPInstance(long window);

    /**
     * Stops the movie, then destroys the window, its engine instance and its back buffer; the
     * widget hears nothing more of it.
     *
     * @param window a window handle
     * @return always 0
     */
    public static native long destroyVantraPlayerHostWindow(long window);

    /**
     * The movie's size.
     *
     * @param window a window handle, not 0
     * @param size receives the width in {@code size[0]} and the height in {@code size[1]}, pixels
     */
    public static native void computeVantraPlayerHostWindowSize(long window, int[] size);

    /**
     * Shows the window and places it in its parent's client area; the first call makes a new
     * window visible.
     *
     * @param window a window handle
     * @param x left, in the parent's client pixels
     * @param y top, in the parent's client pixels
     * @param width width in pixels
     * @param height height in pixels
     */
    public static native void resizeVantraPlayerHostWindow(long window, int x, int y, int width, int height);

    /**
     * Has the engine paint an area of the window.
     *
     * @param window a window handle
     * @param left left edge, client pixels
     * @param top top edge
     * @param right right edge
     * @param bottom bottom edge
     */
    public static native void drawVantraPlayerHostWindow(long window, int left, int top, int right, int bottom);

    /**
     * Gives the window the keyboard focus.
     *
     * @param window a window handle
     * @param unused not used
     */
    public static native void setFocus(long window, int unused);

    /**
     * Dispatches every message queued for the thread (untranslated: key presses removed here make
     * no character messages), then tells the window that the queue is idle. The listener may be
     * called meanwhile.
     *
     * @param window a window handle
     */
    public static native void KickIdle(long window);

    /**
     * Holds the window's painting while {@code suppress} is true; what was asked for meanwhile is
     * painted once it is false again.
     *
     * @param window a window handle, not 0
     * @param suppress whether to hold painting
     */
    public static native void suppressVantraPlayerHostWindowPainting(long window, boolean suppress);

    /**
     * Stops the movie.
     *
     * @param window a window handle
     * @return true for any window, with an engine or without; false for handle 0
     */
    public static native boolean VPP_StopPlay(long window);

    /**
     * Starts the movie.
     *
     * @param window a window handle
     * @return true when the engine was called and returned; false without an engine, or when the
     *     engine failed inside the call
     */
    public static native boolean VPP_DoPlay(long window);

    /**
     * Loads a movie.
     *
     * @param window a window handle
     * @param number handed to the engine unchanged
     * @param url the movie's address ({@code file://...})
     * @param option handed to the engine
     * @return true when the engine loaded it
     */
    public static native boolean VPP_LoadMovie(long window, int number, String url, boolean option);

    /**
     * Sets a variable of the movie.
     *
     * @param window a window handle
     * @param name the variable's name
     * @param value its new value
     * @return true when the engine took it
     */
    public static native boolean VPP_SetVariable(long window, String name, String value);

    /**
     * Reads a variable of the movie.
     *
     * @param window a window handle
     * @param name the variable's name
     * @return its value; {@code "false"} for handle 0
     */
    public static native String VPP_GetVariable(long window, String name);

    /**
     * Calls a function of the movie, without a reply. A Java exception pending at the call, or
     * raised by a listener inside it, is thrown again to the caller and the result is false.
     *
     * @param window a window handle
     * @param request the call, in the movie's request text
     * @return true when the engine took it
     */
    public static native boolean VPP_CallFunction(long window, String request);

    /**
     * Calls a function of the movie and returns its reply.
     *
     * @param window a window handle
     * @param request the call, in the movie's request text
     * @return the reply; an empty text for handle 0, without an engine or without a reply;
     *     {@code "Vantra Player Exception, ABORT"} when the engine failed inside the call
     */
    public static native String VPP_CallFunction2(long window, String request);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param position not used
     */
    public static native void setVantraPlayerHostWindowPosition(long window, int position);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always 0
     */
    public static native int getVantraPlayerHostWindowPosition(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param maximum not used
     */
    public static native void setMaximum(long window, int maximum);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always 0
     */
    public static native int getMaximum(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param minimum not used
     */
    public static native void setMinimum(long window, int minimum);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always 0
     */
    public static native int getMinimum(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always 0
     */
    public static native int VPA_PlayerStartDebugger(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always false
     */
    public static native boolean VPP_KillEdittextFocus(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param quality not used
     * @return always false
     */
    public static native boolean VPP_SetQuality(long window, int quality);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param first not used
     * @param second not used
     * @return always false
     */
    public static native boolean VPP_PushData(long window, int first, int second);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param first not used
     * @param second not used
     * @return always false
     */
    public static native boolean VPP_PushDataBuf(long window, int first, int second);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always false
     */
    public static native boolean VPP_HasEdittextFocus(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param capture not used
     * @return always false
     */
    public static native boolean VPP_CancelCapture(long window, int capture);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @return always false
     */
    public static native boolean VPP_UpdateCursor(long window);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param info not used
     * @return always false
     */
    public static native boolean VPP_SendDebugInfo(long window, int info);

    /**
     * Kept for the widget's callers; does nothing with its arguments.
     *
     * @param window a window handle, or 0
     * @param type not used
     * @return always false
     */
    public static native boolean VPP_SetPlayerType(long window, Object type);
}
