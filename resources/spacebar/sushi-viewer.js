// Written by Vorrel: Sushi shows EPS and PostScript files as Vorrel Quick Look converts them.
// This file is Vorrel's: "vorrel --space-bar=off" removes it.
//
// Sushi 43–50 viewer (GTK 3). It runs "vorrel-quicklook --headless FILE", which prints one
// JSON line {"output": …, "format": "PDF"|"PNG", "contentSize": [w, h], "pages": n} or, on
// failure, its message on standard error, and shows the converted file: a PDF in Evince's
// view (pages with Page Up/Down and the toolbar's arrows), a PNG as an image.
const {EvinceDocument, EvinceView, GdkPixbuf, Gio, GLib, GObject, Gtk, Sushi} = imports.gi;

const Renderer = imports.ui.renderer;
const Utils = imports.ui.utils;

const QUICKLOOK = '@VORREL_QUICKLOOK@';

var mimeTypes = ['image/x-eps', 'application/postscript', 'application/x-gzpostscript',
                 'application/x-bzpostscript', 'image/x-gzeps', 'image/x-bzeps'];

// Sushi's document viewer lists these types too and comes first; it cannot open PostScript
// from a file. Take our types, and only ours, out of its list.
try {
    const evince = imports.viewers.evince;
    evince.mimeTypes = evince.mimeTypes.filter(type => !mimeTypes.includes(type));
} catch (e) {
    logError(e, 'vorrel: Sushi has no document viewer to narrow');
}

function failure(message) {
    return new GLib.Error(Gio.IOErrorEnum, Gio.IOErrorEnum.FAILED, message);
}

var Klass = GObject.registerClass({
    Implements: [Renderer.Renderer],
    Properties: {
        fullscreen: GObject.ParamSpec.boolean('fullscreen', '', '', GObject.ParamFlags.READABLE, false),
        ready: GObject.ParamSpec.boolean('ready', '', '', GObject.ParamFlags.READABLE, false),
    },
}, class VorrelRenderer extends Gtk.ScrolledWindow {
    get ready() {
        return !!this._ready;
    }

    get fullscreen() {
        return !!this._fullscreen;
    }

    _init(file, fileInfo) {
        super._init({visible: true});
        this._size = [400, 400];
        this._pages = 0;
        this._cancellable = new Gio.Cancellable();
        this.connect('destroy', () => this._stop());
        try {
            this._process = Gio.Subprocess.new(
                [QUICKLOOK, '--headless', file.get_path()],
                Gio.SubprocessFlags.STDOUT_PIPE | Gio.SubprocessFlags.STDERR_PIPE);
        } catch (e) {
            // Sushi listens for errors once the viewer exists.
            GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
                this.emit('error', failure(e.message));
                return GLib.SOURCE_REMOVE;
            });
            return;
        }
        this._process.communicate_utf8_async(null, this._cancellable, (process, result) => {
            let stdout, stderr;
            try {
                [, stdout, stderr] = process.communicate_utf8_finish(result);
            } catch (e) {
                if (!e.matches(Gio.IOErrorEnum, Gio.IOErrorEnum.CANCELLED))
                    this.emit('error', failure(e.message));
                return;
            }
            this._process = null;
            const lines = (stdout || '').trim().split('\n').filter(line => line.length > 0);
            if (!process.get_successful() || lines.length === 0) {
                const reasons = (stderr || '').trim().split('\n').filter(line => line.length > 0);
                this.emit('error', failure(reasons.length > 0 ? reasons[reasons.length - 1]
                    : `vorrel-quicklook exited with status ${process.get_exit_status()}`));
                return;
            }
            try {
                this._show(JSON.parse(lines[lines.length - 1]));
            } catch (e) {
                this.emit('error', failure(e.message));
            }
        });
    }

    _stop() {
        this._cancellable.cancel();
        if (this._process) {
            this._process.send_signal(15);  // SIGTERM: it stops its converter and exits
            this._process = null;
        }
    }

    _show(outcome) {
        if (Array.isArray(outcome.contentSize))
            this._size = outcome.contentSize.map(value => Math.max(1, Math.round(value)));
        this._pages = outcome.pages || 1;
        const output = Gio.File.new_for_path(outcome.output);
        if (outcome.format === 'PNG') {
            const image = new Gtk.Image({visible: true});
            image.set_from_pixbuf(GdkPixbuf.Pixbuf.new_from_file(outcome.output));
            this.add(image);
            this.isReady();
            return;
        }
        EvinceDocument.init();
        const job = EvinceView.JobLoadGFile.new(output, EvinceDocument.DocumentLoadFlags.NONE);
        job.connect('finished', () => {
            let document;
            try {
                document = Sushi.get_evince_document_from_job(job);
            } catch (e) {
                this.emit('error', e);
                return;
            }
            this._model = EvinceView.DocumentModel.new_with_document(document);
            this._model.set_sizing_mode(this._pages > 1 ? EvinceView.SizingMode.FIT_WIDTH
                : EvinceView.SizingMode.BEST_FIT);
            this._model.set_continuous(this._pages > 1);
            this._model.connect('page-changed', () => this._updatePageLabel());
            this._view = EvinceView.View.new();
            this._view.set_model(this._model);
            this._view.show();
            this.add(this._view);
            this._updatePageLabel();
            this.isReady();
        });
        job.scheduler_push_job(EvinceView.JobPriority.PRIORITY_NONE);
    }

    _updatePageLabel() {
        if (!this._pageLabel || !this._model)
            return;
        const page = this._model.get_page();
        for (const widget of [this._back, this._pageLabel, this._forward])
            widget.set_visible(this._pages > 1);
        this._back.set_sensitive(page > 0);
        this._forward.set_sensitive(page < this._pages - 1);
        this._pageLabel.set_text(`${page + 1} / ${this._pages}`);
    }

    vfunc_get_preferred_width() {
        return [1, this._size[0]];
    }

    vfunc_get_preferred_height() {
        return [1, this._size[1]];
    }

    get resizePolicy() {
        return Renderer.ResizePolicy.SCALED;
    }

    get moveOnClick() {
        return false;
    }

    populateToolbar(toolbar) {
        this._back = Utils.createToolButton(this, 'go-previous-symbolic', () => this._view.previous_page());
        toolbar.add(this._back);
        this._pageLabel = new Gtk.Label({hexpand: true, margin_start: 10, margin_end: 10});
        toolbar.add(this._pageLabel);
        this._forward = Utils.createToolButton(this, 'go-next-symbolic', () => this._view.next_page());
        toolbar.add(this._forward);
        this._updatePageLabel();
    }
});
