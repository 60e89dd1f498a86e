package com.ostrel.quillbench.SWTVantraPlayer;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.LinkedHashMap;
import java.util.Locale;
import java.util.Map;
import java.util.Set;

/**
 * Loads the widget's native library for the running JVM: from the folder the system property
 * {@value #FOLDER_PROPERTY} names; else the copy the jar carries under
 * {@code natives/<os>-<processor>/}, extracted once into a per-user cache folder named by the hash
 * of the jar's list of files and their hashes ({@value #LIST}); else, only where the jar carries
 * nothing for this JVM, from {@code java.library.path}. The jar's copy comes before the path so that
 * a stale or planted library of the same name there (on Windows the path holds {@code PATH} and the
 * current folder) is never loaded in its place. A cached file whose hash is not the listed one is
 * replaced, never loaded; files are written under a temporary name and renamed, so two JVMs may
 * extract at once, and a rename onto a file another JVM holds gives way to that file when its hash
 * is the listed one.
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
        String osName = System.getProperty("os.name");
        String osArch = System.getProperty("os.arch");
        String platform = platform(osName, osArch);
        ClassLoader loader = NativeLoader.class.getClassLoader();
        if (platform == null || loader.getResource(listResource(platform)) == null) {
            loadFromLibraryPath(osName, osArch, platform);
            return;
        }
        Path extracted;
        try {
            extracted = extract(loader, platform, cacheRoot());
        } catch (IOException cacheUnusable) {
            extracted = extractToTemporaryFolder(loader, platform, cacheUnusable);
        }
        loadExtracted(extracted.resolve(System.mapLibraryName(LIBRARY)));
    }

    private static void loadFromLibraryPath(String osName, String osArch, String platform) {
        try {
            System.loadLibrary(LIBRARY);
        } catch (UnsatisfiedLinkError notOnThePath) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(unsupported(osName, osArch, platform));
            error.initCause(notOnThePath);
            throw error;
        }
    }

    /** A verified copy that does not load was refused by the system: said with what helps. */
    static void loadExtracted(Path library) {
        try {
            System.load(library.toString());
        } catch (UnsatisfiedLinkError refused) {
            if (!Files.isRegularFile(library)) throw refused;
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(notLoadable(library, refused.getMessage()));
            error.initCause(refused);
            throw error;
        }
    }

    static String notLoadable(Path library, String why) {
        return "JNIToVantraPlayerBridge: the jar's verified copy " + library + " is there but the system does not load it ("
                + why + "). A policy that forbids code in the user's profile (AppLocker, Windows Defender Application"
                + " Control) does this: put the natives in a folder the policy allows, such as the application's own"
                + " install folder, and name it with -D" + FOLDER_PROPERTY + "=<folder>.";
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
                + " names (unset), the jar carries none"
                + (platform == null ? "" : " for " + platform)
                + ", and none on java.library.path ("
                + System.getProperty("java.library.path")
                + "). Put the library for this JVM in a folder and name it with -D"
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

    /** Puts a written file in its place; may fail where the target is held open. */
    interface Mover {
        void move(Path part, Path target) throws IOException;
    }

    /** Extracts the platform's files under {@code root}; the folder holding them. */
    static Path extract(ClassLoader loader, String platform, Path root) throws IOException {
        return extract(loader, platform, root, NativeLoader::move);
    }

    static Path extract(ClassLoader loader, String platform, Path root, Mover mover) throws IOException {
        byte[] list = read(loader, listResource(platform));
        Path folder = root.resolve(folderName(list));
        Files.createDirectories(folder);
        extractInto(loader, platform, list, folder, mover);
        return folder;
    }

    private static void extractInto(ClassLoader loader, String platform, byte[] list, Path folder, Mover mover)
            throws IOException {
        for (Map.Entry<String, String> file : parseList(list).entrySet()) {
            Path target = folder.resolve(file.getKey());
            if (hasHash(target, file.getValue())) continue;
            byte[] content = read(loader, "natives/" + platform + "/" + file.getKey());
            if (!hex(sha256(content)).equals(file.getValue())) {
                throw new IOException("the jar's " + file.getKey() + " is not the one its list names");
            }
            Path part = Files.createTempFile(folder, file.getKey(), ".part");
            try {
                Files.write(part, content);
                part.toFile().setExecutable(true, true);
                // Another JVM may have put it there meanwhile, and loaded it.
                if (hasHash(target, file.getValue())) continue;
                mover.move(part, target);
            } catch (IOException notMoved) {
                // On Windows a file another JVM has loaded cannot be replaced:
                // the one it wrote is as good as ours.
                if (!hasHash(target, file.getValue())) throw notMoved;
            } finally {
                Files.deleteIfExists(part);
            }
        }
    }

    private static boolean hasHash(Path file, String hash) throws IOException {
        return Files.isRegularFile(file) && hex(sha256(Files.readAllBytes(file))).equals(hash);
    }

    /** The hash of the list names the folder, so each content has one and a new jar another. */
    static String folderName(byte[] list) {
        return hex(sha256(list)).substring(0, 32);
    }

    private static boolean toldOfTemporaryFolder;

    private static Path extractToTemporaryFolder(ClassLoader loader, String platform, IOException why) {
        try {
            Path folder = extractIntoTemporaryFolder(loader, platform, Paths.get(System.getProperty("java.io.tmpdir")));
            if (!toldOfTemporaryFolder) {
                toldOfTemporaryFolder = true;
                System.err.println("JNIToVantraPlayerBridge: the natives cannot be put in the cache " + cacheRoot()
                        + " (" + why + "); they are in " + folder + " instead, kept there for the next start");
            }
            return folder;
        } catch (IOException again) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(
                    "JNIToVantraPlayerBridge: the jar's natives cannot be extracted: " + again);
            error.addSuppressed(why);
            throw error;
        }
    }

    /**
     * One folder of the user's own per content under {@code temporary}, reused by later starts
     * rather than a new one each time; a fresh one where that name is taken by anything else.
     */
    static Path extractIntoTemporaryFolder(ClassLoader loader, String platform, Path temporary) throws IOException {
        byte[] list = read(loader, listResource(platform));
        Path folder = temporary.resolve("vantra-player-natives-" + folderName(list));
        if (!isOurOwnFolder(folder, temporary)) {
            try {
                Files.createDirectory(folder, ownerOnly(temporary));
            } catch (FileAlreadyExistsException taken) {
                folder = null;
            }
            if (folder == null || !isOurOwnFolder(folder, temporary)) {
                folder = Files.createTempDirectory(temporary, "vantra-player-natives");
            }
        }
        extractInto(loader, platform, list, folder, NativeLoader::move);
        return folder;
    }

    /** A real folder (no link), of this user, that no one else may write into. */
    private static boolean isOurOwnFolder(Path folder, Path temporary) throws IOException {
        if (!Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS)) return false;
        Path probe = Files.createTempFile(temporary, "vantra-player-owner", ".probe");
        try {
            if (!Files.getOwner(folder, LinkOption.NOFOLLOW_LINKS).equals(Files.getOwner(probe))) return false;
        } finally {
            Files.deleteIfExists(probe);
        }
        if (!Files.getFileStore(folder).supportsFileAttributeView(PosixFileAttributeView.class)) return true;
        Set<PosixFilePermission> permissions = Files.getPosixFilePermissions(folder, LinkOption.NOFOLLOW_LINKS);
        return permissions.equals(PosixFilePermissions.fromString("rwx------"));
    }

    private static FileAttribute<?>[] ownerOnly(Path temporary) throws IOException {
        if (!Files.getFileStore(temporary).supportsFileAttributeView(PosixFileAttributeView.class)) {
            return new FileAttribute<?>[0];  // Windows: the user's own temporary folder
        }
        return new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------"))};
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
