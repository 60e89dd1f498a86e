package com.ostrel.quillbench.bench;

/**
 * Bare natives with the widget's signatures and string work that call the same engine entry
 * straight through its table, and nothing else; {@code checks} adds what the widget's natives
 * pay for soundness ({@link #JNI_CHECKS}, {@link #GUARD}).
 */
final class BareNatives {
    static {
        System.loadLibrary("bare_natives");
    }

    /** A look for a pending exception first, and engine texts made Java strings as the library makes them. */
    static final int JNI_CHECKS = 1;

    /** The entry called inside the library's fault guard. */
    static final int GUARD = 2;

    private BareNatives() {}

    /** Loads the engine library at {@code path} and makes one instance; false when it cannot. */
    static native boolean loadEngine(String path);

    static native boolean setVariable(long window, String name, String value, int checks);

    static native String getVariable(long window, String name, int checks);

    static native String callFunction2(long window, String request, int checks);

    static native boolean doPlay(long window, int checks);

    static native void draw(long window, int left, int top, int right, int bottom, int checks);
}
