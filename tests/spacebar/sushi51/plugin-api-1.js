// A stand-in for Sushi 51's stable plug-in API, resource://org/gnome/NautilusPreviewer/plugin-api-1.js,
// as Sushi's plugins/Plugins.md describes it: Renderer (markInitialized, markReady,
// cancellable, stop, cleanup, the ready and error signals), ResizePolicy,
// resolveRelativePath and setupActions. Only what a plug-in can see of Sushi; no window.
import GLib from 'gi://GLib';
import GObject from 'gi://GObject';
import Gio from 'gi://Gio';
import Gtk from 'gi://Gtk?version=4.0';

export const ResizePolicy = {MAX_SIZE: 0, NAT_SIZE: 1, SCALED: 2, STATUS_PAGE: 3, CUSTOM: 4};

export const Renderer = GObject.registerClass({
    GTypeName: 'SushiStandInRenderer',
    Requires: [Gtk.Widget],
    Signals: {
        'ready': {},
        'error': {param_types: [GLib.Error.$gtype]},
    },
}, class Renderer extends GObject.Interface {
    get cancellable() {
        if (!this._sushiCancellable)
            this._sushiCancellable = new Gio.Cancellable();
        return this._sushiCancellable;
    }

    get isReady() {
        return !!this._sushiReady;
    }

    // Sushi stops a renderer when it is unmapped: the previewer closed or moved on.
    markInitialized() {
        this.connect('unmap', () => {
            this.cancellable.cancel();
            this.stop();
            this.cleanup();
        });
    }

    markReady() {
        if (this.cancellable.is_cancelled() || this._sushiReady)
            return;
        this._sushiReady = true;
        this.emit('ready');
    }

    stop() {
    }

    cleanup() {
    }

    get resizePolicy() {
        return ResizePolicy.MAX_SIZE;
    }
});

export function resolveRelativePath(moduleUrl, path) {
    return GLib.build_filenamev([GLib.path_get_dirname(GLib.filename_from_uri(moduleUrl)[0]), path]);
}

export function setupActions(widget, prefix, actions) {
    const group = new Gio.SimpleActionGroup();
    for (const [name, callback] of actions) {
        const action = new Gio.SimpleAction({name});
        action.connect('activate', callback);
        group.add_action(action);
    }
    widget.insert_action_group(prefix, group);
}
