package consumer;

import com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget;
import com.ostrel.quillbench.headless.HeadlessWin32;

/** Plays the sample movie with the widget of its Maven dependency: args are the engines' and samples' folders. */
public final class PlaysTheSample {
    public static void main(String[] args) {
        VantraPlayerWidget widget = new VantraPlayerWidget(new VantraPlayerWidget.Listener() {});
        long parent = HeadlessWin32.createTopLevelWindow(0, 0, 400, 300);
        long window = widget.create(parent, "/" + args[0] + "/sample/");
        boolean loaded = VantraPlayerWidget.VPP_LoadMovie(window, 0, "file://" + args[1] + "/follow.json", false);
        boolean played = VantraPlayerWidget.VPP_DoPlay(window);
        VantraPlayerWidget.VPP_SetVariable(window, "clicks", "41");
        System.out.println("version " + VantraPlayerWidget.class.getPackage().getImplementationVersion() + ", loaded "
                + loaded + ", played " + played + ", clicks " + VantraPlayerWidget.VPP_GetVariable(window, "clicks"));
        widget.destroy();
    }
}
