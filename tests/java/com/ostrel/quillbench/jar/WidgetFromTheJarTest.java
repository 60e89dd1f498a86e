package com.ostrel.quillbench.jar;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget;
import com.ostrel.quillbench.headless.HeadlessWin32;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.DisabledIfSystemProperty;
import org.junit.jupiter.api.condition.EnabledIfSystemProperty;

/**
 * The widget class in a JVM that finds its library where the run says (vp.expectedLibrary: the
 * folder it must come from; the jar's copy lands in the cache under XDG_CACHE_HOME), and a widget
 * that plays the sample movie; or, in a JVM that claims a processor the jar carries nothing for
 * (vp.unknownProcessor), the error that says what to do. The jar's manifest gives the version
 * (vp.version) and, on the module path (vp.onTheModulePath), the module's name.
 */
class WidgetFromTheJarTest {
    @Test
    @DisabledIfSystemProperty(named = "vp.unknownProcessor", matches = "true")
    void theWidgetLoadsItsLibraryFromWhereItShouldAndPlaysTheSampleMovie() throws IOException {
        VantraPlayerWidget widget = new VantraPlayerWidget(new VantraPlayerWidget.Listener() {});
        String loaded = loadedLibrary();
        Path expected = Paths.get(System.getProperty("vp.expectedLibrary")).toRealPath();
        assertTrue(Paths.get(loaded).startsWith(expected), "loaded " + loaded + ", not from " + expected);

        long parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
        long window = widget.create(parent, "/" + System.getProperty("vp.engines") + "/sample/");
        assertNotEquals(0, window);
        String movie = System.getProperty("vp.samples") + "/follow.json";
        assertTrue(VantraPlayerWidget.VPP_LoadMovie(window, 0, "file://" + movie, false));
        int[] size = new int[2];
        VantraPlayerWidget.computeVantraPlayerHostWindowSize(window, size);
        assertNotEquals(0, size[0]);
        assertTrue(VantraPlayerWidget.VPP_DoPlay(window));
        VantraPlayerWidget.VPP_SetVariable(window, "clicks", "41");
        assertEquals("41", VantraPlayerWidget.VPP_GetVariable(window, "clicks"));
        widget.destroy();
        HeadlessWin32.reset();
    }

    /** On the class path the package tells the version; on the module path the module has its name. */
    @Test
    void theJarNamesItsVersionAndItsModule() {
        Module module = VantraPlayerWidget.class.getModule();
        if (Boolean.getBoolean("vp.onTheModulePath")) {
            assertTrue(module.isNamed(), "loaded from the module path");
            assertEquals("com.ostrel.quillbench.swtvantraplayer", module.getName());
        } else {
            assertFalse(module.isNamed());
            assertEquals(System.getProperty("vp.version"), VantraPlayerWidget.class.getPackage().getImplementationVersion());
            assertEquals("vantra-player-widget", VantraPlayerWidget.class.getPackage().getImplementationTitle());
        }
    }

    @Test
    @EnabledIfSystemProperty(named = "vp.unknownProcessor", matches = "true")
    void aJvmOfAProcessorTheJarCarriesNothingForIsToldWhatToDo() {
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class,
                () -> new VantraPlayerWidget(new VantraPlayerWidget.Listener() {}));
        String message = error.getMessage();
        String arch = "\"" + System.getProperty("os.arch") + "\"";
        assertTrue(message.contains(arch) && message.contains("\"" + System.getProperty("os.name") + "\""), message);
        assertTrue(message.contains("vantra.player.natives") && message.contains("java.library.path"), message);
    }

    /**
     * The file the bridge library was mapped from, as the process's map lists it (" (deleted)"
     * behind it once a JVM started at the same time renamed its own, equal, copy onto that name).
     */
    private static String loadedLibrary() throws IOException {
        List<String> maps = Files.readAllLines(Paths.get("/proc/self/maps"));
        for (String line : maps) {
            String file = line.endsWith(" (deleted)") ? line.substring(0, line.length() - 10) : line;
            int at = file.indexOf('/');
            if (at >= 0 && file.endsWith("libJNIToVantraPlayerBridge.so")) return file.substring(at);
        }
        return "(not mapped)";
    }
}
