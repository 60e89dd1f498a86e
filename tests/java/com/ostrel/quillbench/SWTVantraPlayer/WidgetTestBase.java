package com.ostrel.quillbench.SWTVantraPlayer;

import static org.junit.jupiter.api.Assertions.assertNotEquals;

import com.ostrel.quillbench.headless.HeadlessWin32;
import com.ostrel.quillbench.testing.RecordingEngine;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;

/** Widgets on the recording engine under a top-level window of the headless backend, closed after each test. */
abstract class WidgetTestBase {
    static final String ENGINES = System.getProperty("vp.engines");

    RecordingEngine engine;
    long parent;
    final List<VantraPlayerWidget> widgets = new ArrayList<>();

    @BeforeEach
    void openEngineAndParent() {
        engine = new RecordingEngine(ENGINES + "/recording/Vantra Player 8/stagerun.dll");
        parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
    }

    @AfterEach
    void closeWidgetsAndEngine() {
        for (VantraPlayerWidget widget : widgets) widget.destroy();
        widgets.clear();
        HeadlessWin32.reset();
        engine.close();
    }

    /** A widget created under the window with the folder text as Java gives it ("/…/"). */
    VantraPlayerWidget widget(VantraPlayerWidget.Listener listener, long parentWindow, String folderText) {
        VantraPlayerWidget widget = new VantraPlayerWidget(listener);
        assertNotEquals(0, widget.create(parentWindow, folderText));
        widgets.add(widget);
        return widget;
    }

    /** A widget under the parent on one of the built engines ("recording", "noop", …). */
    VantraPlayerWidget widget(VantraPlayerWidget.Listener listener, String engineFolder) {
        return widget(listener, parent, "/" + ENGINES + "/" + engineFolder + "/");
    }

    /** The native window made last under the window. */
    static long lastChildOf(long parentWindow) {
        long[] children = HeadlessWin32.childWindows(parentWindow);
        return children[children.length - 1];
    }
}
