package com.ostrel.quillbench.bench;

/** Bare natives with the widget's signatures and string work, and nothing else. */
final class BareNatives {
    static {
        System.loadLibrary("bare_natives");
    }

    private BareNatives() {}

    static native boolean setVariable(long window, String name, String value);

    static native String getVariable(long window, String name);

    static native String callFunction2(long window, String request);

    static native boolean doPlay(long window);

    static native void draw(long window, int left, int top, int right, int bottom);
}
