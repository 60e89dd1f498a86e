package com.ostrel.quillbench.SWTVantraPlayer;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

/** The jar's natives as the loader extracts them: the right platform, verified, safe to share. */
class NativeLoaderTest {
    private static final byte[] LIBRARY = "a library".getBytes(StandardCharsets.UTF_8);
    private static final byte[] HOST = "an engine process".getBytes(StandardCharsets.UTF_8);

    /** A class path whose natives/linux-x64 holds two files and their list, as the jar would. */
    private static ClassLoader jarWith(Path root, String list) throws IOException {
        Path natives = Files.createDirectories(root.resolve("natives/linux-x64"));
        Files.write(natives.resolve("libJNIToVantraPlayerBridge.so"), LIBRARY);
        Files.write(natives.resolve("VantraPlayerEngineHost"), HOST);
        Files.write(natives.resolve(NativeLoader.LIST), list.getBytes(StandardCharsets.UTF_8));
        return new URLClassLoader(new URL[] {root.toUri().toURL()}, null);
    }

    private static String soundList() {
        return NativeLoader.hex(NativeLoader.sha256(LIBRARY)) + "  libJNIToVantraPlayerBridge.so\n"
                + NativeLoader.hex(NativeLoader.sha256(HOST)) + "  VantraPlayerEngineHost\n";
    }

    @Test
    void aTamperedCacheFileIsReplacedNotKept() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        ClassLoader jar = jarWith(work.resolve("jar"), soundList());
        Path folder = NativeLoader.extract(jar, "linux-x64", work.resolve("cache"));
        Path library = folder.resolve("libJNIToVantraPlayerBridge.so");
        assertArrayEquals(LIBRARY, Files.readAllBytes(library));
        assertArrayEquals(HOST, Files.readAllBytes(folder.resolve("VantraPlayerEngineHost")));
        Files.write(library, "changed on disk".getBytes(StandardCharsets.UTF_8));
        assertEquals(folder, NativeLoader.extract(jar, "linux-x64", work.resolve("cache")));
        assertArrayEquals(LIBRARY, Files.readAllBytes(library));
        try (var left = Files.list(folder)) {
            assertEquals(2, left.count(), "no temporary file left behind");
        }
    }

    @Test
    void aJarWhoseFilesAreNotTheListedOnesOrWhoseListNamesAPathIsRefused() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        String list = soundList();
        String wrongHash = (list.charAt(0) == 'f' ? "0" : "f") + list.substring(1);
        ClassLoader changed = jarWith(work.resolve("changed"), wrongHash);
        assertThrows(IOException.class, () -> NativeLoader.extract(changed, "linux-x64", work.resolve("cache")));
        String escapingList = NativeLoader.hex(NativeLoader.sha256(HOST)) + "  ../x\n";
        ClassLoader escaping = jarWith(work.resolve("escaping"), escapingList);
        assertThrows(IOException.class, () -> NativeLoader.extract(escaping, "linux-x64", work.resolve("cache")));
        assertTrue(Files.notExists(work.resolve("x")));
    }

    @Test
    void twoExtractingAtOnceBothGetTheFiles() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        ClassLoader jar = jarWith(work.resolve("jar"), soundList());
        ExecutorService pool = Executors.newFixedThreadPool(4);
        List<Future<Path>> runs = new ArrayList<>();
        for (int i = 0; i < 8; ++i) {
            Callable<Path> run = () -> NativeLoader.extract(jar, "linux-x64", work.resolve("cache"));
            runs.add(pool.submit(run));
        }
        for (Future<Path> run : runs) {
            assertArrayEquals(LIBRARY, Files.readAllBytes(run.get().resolve("libJNIToVantraPlayerBridge.so")));
        }
        pool.shutdown();
    }

    @Test
    void aRenameOntoAFileAnotherJvmHoldsGivesWayToThatFileOnlyWhenItIsTheListedOne() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        ClassLoader jar = jarWith(work.resolve("jar"), soundList());
        // As on Windows: the other JVM wrote the file first and holds it loaded.
        NativeLoader.Mover heldByAnother = (part, target) -> {
            Files.write(target, Files.readAllBytes(part));
            throw new FileSystemException(target.toString(), null, "in use by another process");
        };
        Path folder = NativeLoader.extract(jar, "linux-x64", work.resolve("cache"), heldByAnother);
        assertArrayEquals(LIBRARY, Files.readAllBytes(folder.resolve("libJNIToVantraPlayerBridge.so")));
        try (var left = Files.list(folder)) {
            assertEquals(2, left.count(), "no temporary file left behind");
        }
        NativeLoader.Mover heldStale = (part, target) -> {
            Files.write(target, "an older library".getBytes(StandardCharsets.UTF_8));
            throw new FileSystemException(target.toString(), null, "in use by another process");
        };
        assertThrows(FileSystemException.class,
                () -> NativeLoader.extract(jar, "linux-x64", work.resolve("stale"), heldStale));
    }

    @Test
    void theTemporaryFolderIsOnePerContentTheUsersOwnAndReused() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        ClassLoader jar = jarWith(work.resolve("jar"), soundList());
        Path temporary = Files.createDirectories(work.resolve("tmp"));
        Path first = NativeLoader.extractIntoTemporaryFolder(jar, "linux-x64", temporary);
        assertEquals(first, NativeLoader.extractIntoTemporaryFolder(jar, "linux-x64", temporary));
        assertEquals(PosixFilePermissions.fromString("rwx------"), Files.getPosixFilePermissions(first));
        assertArrayEquals(LIBRARY, Files.readAllBytes(first.resolve("libJNIToVantraPlayerBridge.so")));
        // A folder of that name that others may write into is not trusted.
        Files.setPosixFilePermissions(first, PosixFilePermissions.fromString("rwxrwxrwx"));
        Path fresh = NativeLoader.extractIntoTemporaryFolder(jar, "linux-x64", temporary);
        assertNotEquals(first, fresh);
        assertArrayEquals(LIBRARY, Files.readAllBytes(fresh.resolve("libJNIToVantraPlayerBridge.so")));
    }

    @Test
    void aCopyThatIsThereButDoesNotLoadIsSaidWithTheWayOutAndAMissingOneAsItIs() throws Exception {
        Path work = Files.createTempDirectory("native-loader");
        Path refused = Files.write(work.resolve("libJNIToVantraPlayerBridge.so"), LIBRARY);
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> NativeLoader.loadExtracted(refused));
        assertTrue(error.getMessage().contains("-D" + NativeLoader.FOLDER_PROPERTY), error.getMessage());
        assertTrue(error.getMessage().contains(refused.toString()), error.getMessage());
        assertTrue(error.getCause() instanceof UnsatisfiedLinkError);
        Path missing = work.resolve("gone.so");
        error = assertThrows(UnsatisfiedLinkError.class, () -> NativeLoader.loadExtracted(missing));
        assertFalse(error.getMessage().contains(NativeLoader.FOLDER_PROPERTY), error.getMessage());
    }

    @Test
    void theJvmsPlatformIsReadFromItsPropertiesAndAnUnknownOneIsNamedInTheError() {
        assertEquals("windows-x86", NativeLoader.platform("Windows 10", "x86"));
        assertEquals("windows-x64", NativeLoader.platform("Windows Server 2022", "amd64"));
        assertEquals("linux-x64", NativeLoader.platform("Linux", "amd64"));
        assertNull(NativeLoader.platform("Mac OS X", "aarch64"));
        assertNull(NativeLoader.platform("Linux", "aarch64"));
        String message = NativeLoader.unsupported("Linux", "aarch64", null);
        assertTrue(message.contains("\"Linux\"") && message.contains("\"aarch64\""), message);
        assertTrue(message.contains(NativeLoader.FOLDER_PROPERTY), message);
        assertTrue(message.contains("java.library.path"), message);
    }
}
