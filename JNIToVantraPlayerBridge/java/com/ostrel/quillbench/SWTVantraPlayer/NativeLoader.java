package com.ostrel.quillbench.SWTVantraPlayer;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.LinkedHashMap;
import java.util.Locale;
import java.util.Map;

/**
 * Loads the widget's native library for the running JVM: from the folder the system property
 * {@value #FOLDER_PROPERTY} names, else from {@code java.library.path}, else the copy the jar
 * carries under {@code natives/<os>-<processor>/}, extracted once into a per-user cache folder
 * named by the hash of the jar's list of files and their hashes ({@value #LIST}). A cached file
 * whose hash is not the listed one is replaced, never loaded; files are written under a temporary
 * name and renamed, so two JVMs may extract at once.
 */
final class NativeLoader {
    static final String FOLDER_PROPERTY = "vantra.player.natives";
    static final String LIBRARY = "JNIToVantraPlayerBridge";
    static final String LIST = "files.sha256";

    private NativeLoader() {}

    static void load() {
        String folder = System.getProperty(FOLDER_PROPERTY);
        if (folder != null) {
            System.load(Paths.get(folder).resolve(System.mapLibraryName(LIBRARY)).toAbsolutePath().toString());
            return;
        }
        try {
            System.loadLibrary(LIBRARY);
            return;
        } catch (UnsatisfiedLinkError notOnThePath) {
            // the jar's copy, below
        }
        String osName = System.getProperty("os.name");
        String osArch = System.getProperty("os.arch");
        String platform = platform(osName, osArch);
        ClassLoader loader = NativeLoader.class.getClassLoader();
        if (platform == null || loader.getResource(listResource(platform)) == null) {
            throw new UnsatisfiedLinkError(unsupported(osName, osArch, platform));
        }
        Path extracted;
        try {
            extracted = extract(loader, platform, cacheRoot());
        } catch (IOException cacheUnwritable) {
            extracted = extractToTemporaryFolder(loader, platform, cacheUnwritable);
        }
        System.load(extracted.resolve(System.mapLibraryName(LIBRARY)).toString());
    }

    /** "windows-x86", "windows-x64" or "linux-x64"; null for a JVM the jar can carry nothing for. */
    static String platform(String osName, String osArch) {
        String os = osName == null ? "" : osName.toLowerCase(Locale.ROOT);
        String arch = osArch == null ? "" : osArch.toLowerCase(Locale.ROOT);
        boolean x64 = arch.equals("amd64") || arch.equals("x86_64");
        boolean x86 = arch.equals("x86") || arch.matches("i[3-6]86");
        if (os.startsWith("windows") && (x64 || x86)) return x64 ? "windows-x64" : "windows-x86";
        if (os.equals("linux") && x64) return "linux-x64";
        return null;
    }

    static String unsupported(String osName, String osArch, String platform) {
        return "JNIToVantraPlayerBridge: no native library for this JVM (os.name \""
                + osName
                + "\", os.arch \""
                + osArch
                + "\"): not in the folder the system property "
                + FOLDER_PROPERTY
                + " names (unset), not on java.library.path ("
                + System.getProperty("java.library.path")
                + "), and the jar carries none"
                + (platform == null ? "" : " for " + platform)
                + ". Put the library for this JVM in a folder and name it with -D"
                + FOLDER_PROPERTY
                + "=<folder>, or use a JVM of a platform the jar carries (Windows x86 or x64).";
    }

    /** The per-user cache: never a folder shared between users. */
    static Path cacheRoot() {
        String localAppData = System.getenv("LOCALAPPDATA");
        if (localAppData != null && !localAppData.isEmpty()) {
            return Paths.get(localAppData, "VantraPlayer", "natives");
        }
        String cacheHome = System.getenv("XDG_CACHE_HOME");
        Path base = cacheHome != null && !cacheHome.isEmpty()
                ? Paths.get(cacheHome)
                : Paths.get(System.getProperty("user.home"), ".cache");
        return base.resolve("vantra-player").resolve("natives");
    }

    /** Extracts the platform's files under {@code root}; the folder holding them. */
    static Path extract(ClassLoader loader, String platform, Path root) throws IOException {
        byte[] list = read(loader, listResource(platform));
        Map<String, String> files = parseList(list);
        Path folder = root.resolve(hex(sha256(list)).substring(0, 32));
        Files.createDirectories(folder);
        for (Map.Entry<String, String> file : files.entrySet()) {
            Path target = folder.resolve(file.getKey());
            if (Files.isRegularFile(target) && hex(sha256(Files.readAllBytes(target))).equals(file.getValue())) {
                continue;
            }
            byte[] content = read(loader, "natives/" + platform + "/" + file.getKey());
            if (!hex(sha256(content)).equals(file.getValue())) {
                throw new IOException("the jar's " + file.getKey() + " is not the one its list names");
            }
            Path part = Files.createTempFile(folder, file.getKey(), ".part");
            try {
                Files.write(part, content);
                part.toFile().setExecutable(true, true);
                move(part, target);
            } finally {
                Files.deleteIfExists(part);
            }
        }
        return folder;
    }

    private static boolean toldOfTemporaryFolder;

    private static Path extractToTemporaryFolder(ClassLoader loader, String platform, IOException why) {
        try {
            Path folder = extract(loader, platform, Files.createTempDirectory("vantra-player-natives"));
            if (!toldOfTemporaryFolder) {
                toldOfTemporaryFolder = true;
                System.err.println("JNIToVantraPlayerBridge: the cache " + cacheRoot() + " cannot be written ("
                        + why + "); the natives are in " + folder);
            }
            return folder;
        } catch (IOException again) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(
                    "JNIToVantraPlayerBridge: the jar's natives cannot be extracted: " + again);
            error.addSuppressed(why);
            throw error;
        }
    }

    private static void move(Path part, Path target) throws IOException {
        try {
            Files.move(part, target, StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
        } catch (AtomicMoveNotSupportedException notHere) {
            Files.move(part, target, StandardCopyOption.REPLACE_EXISTING);
        }
    }

    static String listResource(String platform) {
        return "natives/" + platform + "/" + LIST;
    }

    /** Lines of "hash  name"; a name is one plain file name. */
    static Map<String, String> parseList(byte[] list) throws IOException {
        Map<String, String> files = new LinkedHashMap<>();
        for (String line : new String(list, StandardCharsets.UTF_8).split("\n")) {
            if (line.isBlank()) continue;
            String[] parts = line.trim().split("\\s+", 2);
            boolean plain = parts.length == 2 && parts[0].matches("[0-9a-f]{64}") && parts[1].matches("[A-Za-z0-9._-]+")
                    && !parts[1].startsWith(".");
            if (!plain) throw new IOException("not a line of the natives' list: " + line);
            files.put(parts[1], parts[0]);
        }
        return files;
    }

    private static byte[] read(ClassLoader loader, String resource) throws IOException {
        try (InputStream in = loader.getResourceAsStream(resource)) {
            if (in == null) throw new IOException("the jar has no " + resource);
            return in.readAllBytes();
        }
    }

    static byte[] sha256(byte[] bytes) {
        try {
            return MessageDigest.getInstance("SHA-256").digest(bytes);
        } catch (NoSuchAlgorithmException everyJvmHasIt) {
            throw new IllegalStateException(everyJvmHasIt);
        }
    }

    static String hex(byte[] bytes) {
        StringBuilder text = new StringBuilder();
        for (byte b : bytes) text.append(String.format("%02x", b));
        return text.toString();
    }
}
