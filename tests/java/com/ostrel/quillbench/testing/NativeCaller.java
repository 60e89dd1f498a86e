package com.ostrel.quillbench.testing;

import java.io.File;

/**
 * Calls the widget's natives as only native code can (with a Java exception already pending, with
 * a boolean other than 0 or 1), and reads the native heap's size.
 */
public final class NativeCaller {
    static {
        System.loadLibrary("recording_engine_jni");
    }

    private NativeCaller() {}

    /**
     * Calls the native (its JNI name, "VPP_1DoPlay") with the handle, the text for every string
     * argument and the array for every array argument, while an exception is pending. Answers
     * "&lt;result&gt; &lt;pending&gt;": the result as "true", "0", "void", "null", "string"; the
     * pending exception "kept", "lost" or "replaced".
     */
    public static String callWithPendingException(String method, long handle, Object widget, String text,
            int[] size) {
        return callWithPendingException(productLibrary(), method, handle, widget, text, size);
    }

    /** Calls suppressVantraPlayerHostWindowPainting with a raw boolean byte, as Java itself cannot. */
    public static void suppressPainting(long handle, int rawBoolean) {
        suppressPainting(productLibrary(), handle, rawBoolean);
    }

    /**
     * The bytes the process holds from the C heap, as the sanitizer counts them (what every native
     * allocates, the virtual machine's own included); -1 without a sanitizer.
     */
    public static native long allocatedBytes();

    private static String productLibrary() {
        String name = System.mapLibraryName("JNIToVantraPlayerBridge");
        for (String dir : System.getProperty("java.library.path").split(File.pathSeparator)) {
            File file = new File(dir, name);
            if (file.isFile()) return file.getAbsolutePath();
        }
        throw new IllegalStateException(name + " is not on java.library.path");
    }

    private static native void suppressPainting(String library, long handle, int rawBoolean);

    private static native String callWithPendingException(String library, String method, long handle,
            Object widget, String text, int[] size);
}
