package com.ostrel.quillbench.testing;

/** The recording engine's controls, for Java tests; the engine stays loaded while this is open. */
public final class RecordingEngine implements AutoCloseable {
    static {
        System.loadLibrary("recording_engine_jni");
    }

    public static final int SHUTDOWN = 1, NEW_INSTANCE = 2, DESTROY_INSTANCE = 3, HANDLE_EVENT = 4, STOP_PLAY = 11,
            LOAD_MOVIE = 23, SET_VARIABLE = 30, GET_VARIABLE = 31, GET_MOVIE_SIZE = 40, PAINT_AREA = 53,
            DO_PLAY = 68, SET_MODE_VALUE = 80, CALL_FUNCTION = 81, CALL_FUNCTION_2 = 85, INITIALIZE = -1;
    public static final int RAISE_CPP = 1, RAISE_CRASH = 4, RAISE_ABORT = 5, RAISE_STACK_OVERFLOW = 6,
            RAISE_HEAP_CORRUPTION = 7, RAISE_PRINT_OUTPUT = 8, RAISE_HANG = 9;

    /** Loads the engine file ("…/Vantra Player 8/stagerun.dll"). */
    public RecordingEngine(String engineFile) {
        if (!open(engineFile)) throw new IllegalStateException("cannot load " + engineFile);
        reset();
    }

    @Override
    public void close() {
        closeEngine();
    }

    private static native boolean open(String engineFile);

    private static native void closeEngine();

    public static native void reset();

    /** The entry numbers received, in order. */
    public static native int[] entries();

    /** The first text argument of call number i. */
    public static native String text(int call);

    /** The five words after the record of call number i. */
    public static native long[] args(int call);

    public static native void setResult(int entry, long result);

    /** A text result, given as raw bytes so that tests can hand over malformed ones. */
    public static native void setTextResult(int entry, byte[] text);

    public static native void setRaise(int entry, int raise);

    /** On the entry, the engine calls the trace service with the text. */
    public static native void traceOn(int entry, String text);

    /** On the entry, the engine calls the call-function service with the request. */
    public static native void callFunctionOn(int entry, String request);

    /**
     * On the entry, the engine starts a thread that, delayMs later, invalidates {0, 0, 20, 20} and
     * traces "from a thread".
     */
    public static native void threadServicesOn(int entry, int delayMs);

    /** The process the engine was last initialised in. */
    public static native int processId();

    /** What the last service call of traceOn or callFunctionOn returned. */
    public static native int lastStatus();

    /** The reply the last callFunctionOn received; null for none. */
    public static native String lastReply();
}
