package com.ostrel.quillbench.demo;

import static com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.*;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget;
import com.ostrel.quillbench.headless.HeadlessWin32;
import java.awt.image.BufferedImage;
import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import javax.imageio.ImageIO;

/**
 * Plays a sample movie in a widget under a headless parent window: moves and clicks the mouse over
 * it, sets and reads variables, calls a movie function, prints what crossed between the movie and
 * Java, and writes frames and a contact sheet as PNG files.
 *
 * <p>Arguments: the engines folder, the movie file, the output folder. Exits with 1 when the frames
 * are blank or all alike.
 */
public final class Demo {
    private static final int FRAMES = 24;
    private static final int[] SAVED = {0, 8, 14, 20};

    public static void main(String[] args) throws IOException {
        if (args.length != 3) {
            System.err.println("usage: Demo ENGINES_FOLDER MOVIE OUTPUT_FOLDER");
            System.exit(2);
        }
        File output = new File(args[2]);
        output.mkdirs();
        long started = System.nanoTime();

        long parent = HeadlessWin32.createTopLevelWindow(0, 0, 640, 480);
        VantraPlayerWidget widget = new VantraPlayerWidget(new VantraPlayerWidget.Listener() {
            @Override
            public String callFunction(String request) {
                System.out.println("movie -> Java: " + request);
                System.out.println("Java -> movie: hello from Java");
                return "hello from Java";
            }

            @Override
            public void trace(String text) {
                System.out.println("trace: " + text);
            }

            @Override
            public void contextMenu(int x, int y) {
                System.out.println("context menu at " + x + "," + y);
            }

            @Override
            public void doubleClick(int x, int y) {
                System.out.println("double click at " + x + "," + y);
            }
        });
        long window = widget.create(parent, "/" + args[0] + "/sample/");
        if (window == 0 || !VPP_LoadMovie(window, 0, "file://" + args[1], false)) {
            System.err.println("the movie could not be loaded");
            System.exit(1);
        }
        int[] size = new int[2];
        computeVantraPlayerHostWindowSize(window, size);
        System.out.println("movie " + args[1] + ": " + size[0] + " x " + size[1]);
        resizeVantraPlayerHostWindow(window, 0, 0, size[0], size[1]);
        long hwnd = HeadlessWin32.childWindows(parent)[0];
        VPP_DoPlay(window);

        List<BufferedImage> frames = new ArrayList<>();
        for (int frame = 0; frame < FRAMES; frame++) {
            int x = 40 + frame * (size[0] - 80) / FRAMES;
            int y = size[1] / 2 - 20 + (frame % 6) * 4;
            HeadlessWin32.moveMouse(x, y);
            if (frame == 9 || frame == 13 || frame == 17) {
                HeadlessWin32.pressButton(HeadlessWin32.LEFT_BUTTON, x, y);
                HeadlessWin32.releaseButton(HeadlessWin32.LEFT_BUTTON, x, y);
            }
            if (frame == 19) HeadlessWin32.pressButton(HeadlessWin32.RIGHT_BUTTON, x, y);
            KickIdle(window);
            drawVantraPlayerHostWindow(window, 0, 0, size[0], size[1]);
            frames.add(image(hwnd));
        }

        System.out.println("VPP_CallFunction2 getFrame: "
                + VPP_CallFunction2(window, "<invoke name=\"getFrame\"><arguments></arguments></invoke>"));
        VPP_SetVariable(window, "clicks", "41");
        System.out.println("after VPP_SetVariable clicks = 41, VPP_GetVariable clicks: "
                + VPP_GetVariable(window, "clicks"));
        System.out.println("VPP_CallFunction2 getVariable greeting: " + VPP_CallFunction2(window,
                "<invoke name=\"getVariable\"><arguments><string>greeting</string></arguments></invoke>"));
        System.out.println("VPP_CallFunction2 unknownFunction: \""
                + VPP_CallFunction2(window, "<invoke name=\"unknownFunction\"><arguments></arguments></invoke>")
                + "\"");
        widget.destroy();

        for (int index : SAVED) {
            ImageIO.write(frames.get(index), "png", new File(output, String.format("frame-%02d.png", index)));
        }
        ImageIO.write(contactSheet(frames), "png", new File(output, "contact-sheet.png"));
        System.out.printf("wrote %d frames and a contact sheet to %s in %.1f s%n", SAVED.length, output,
                (System.nanoTime() - started) / 1e9);
        if (!looksAlive(frames)) {
            System.err.println("the frames are blank or all alike");
            System.exit(1);
        }
    }

    private static BufferedImage image(long hwnd) {
        int[] size = HeadlessWin32.clientSize(hwnd);
        BufferedImage image = new BufferedImage(size[0], size[1], BufferedImage.TYPE_INT_RGB);
        image.setRGB(0, 0, size[0], size[1], HeadlessWin32.readWindowPixels(hwnd), 0, size[0]);
        return image;
    }

    private static BufferedImage contactSheet(List<BufferedImage> frames) {
        int columns = 6;
        int width = frames.get(0).getWidth() / 2, height = frames.get(0).getHeight() / 2;
        int rows = (frames.size() + columns - 1) / columns;
        BufferedImage sheet = new BufferedImage(columns * (width + 4) + 4, rows * (height + 4) + 4,
                BufferedImage.TYPE_INT_RGB);
        java.awt.Graphics2D g = sheet.createGraphics();
        g.setRenderingHint(java.awt.RenderingHints.KEY_INTERPOLATION,
                java.awt.RenderingHints.VALUE_INTERPOLATION_BILINEAR);
        for (int i = 0; i < frames.size(); i++) {
            g.drawImage(frames.get(i), 4 + (i % columns) * (width + 4), 4 + (i / columns) * (height + 4), width,
                    height, null);
        }
        g.dispose();
        return sheet;
    }

    /** At least two distinct frames, and none of one colour. */
    private static boolean looksAlive(List<BufferedImage> frames) {
        java.util.Set<Integer> hashes = new java.util.HashSet<>();
        for (BufferedImage frame : frames) {
            int[] pixels = frame.getRGB(0, 0, frame.getWidth(), frame.getHeight(), null, 0, frame.getWidth());
            if (java.util.Arrays.stream(pixels).distinct().count() < 2) return false;
            hashes.add(java.util.Arrays.hashCode(pixels));
        }
        return hashes.size() > 1;
    }
}
