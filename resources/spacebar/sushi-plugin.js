// Written by Vorrel: Sushi shows EPS and PostScript files as Vorrel Quick Look converts them.
//
// Sushi 51 plug-in (plugins-1 API, GTK 4). It runs
// "vorrel-quicklook --headless --snapshot PNG FILE", which prints one JSON line
// {"output": …, "format": "PDF"|"PNG", "contentSize": [w, h], "pages": n} (or its message on
// standard error) and renders the preview into PNG. A PDF is shown in Papers' view where Sushi
// has it (every page, Page Up/Down, sharp at any zoom); otherwise the rendered picture is.
// The window takes the drawing's content size, scaled down to fit.
import Gdk from 'gi://Gdk?version=4.0';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import GObject from 'gi://GObject';
import Gtk from 'gi://Gtk?version=4.0';

import {Renderer, ResizePolicy} from 'resource://org/gnome/NautilusPreviewer/plugin-api-1.js';

const QUICKLOOK = '@VORREL_QUICKLOOK@';

export const contentTypes = ['image/x-eps', 'application/postscript', 'application/x-gzpostscript',
    'application/x-bzpostscript', 'image/x-gzeps', 'image/x-bzeps'];

function failure(message) {
    return new GLib.Error(Gio.IOErrorEnum, Gio.IOErrorEnum.FAILED, message);
}

// Papers' document view, when Sushi's stack has it.
async function papers() {
    try {
        const document = (await import('gi://PapersDocument?version=4.0')).default;
        const view = (await import('gi://PapersView?version=4.0')).default;
        return {document, view};
    } catch (e) {
        return null;
    }
}

export class Klass extends Gtk.Box {
    static {
        GObject.registerClass({Implements: [Renderer]}, this);
    }

    constructor(file, fileInfo, constructProperties = {}) {
        super(constructProperties);
        this._size = [400, 300];
        this.markInitialized();
        const [snapshot, stream] = Gio.File.new_tmp('vorrel-XXXXXX.png');
        stream.close(null);
        this._snapshot = snapshot;
        this.cancellable.connect(() => this._stop());
        // A spawn failure throws from here: Sushi shows its error page.
        this._process = Gio.Subprocess.new(
            [QUICKLOOK, '--headless', '--snapshot', snapshot.get_path(), file.get_path()],
            Gio.SubprocessFlags.STDOUT_PIPE | Gio.SubprocessFlags.STDERR_PIPE);
        this._process.communicate_utf8_async(null, this.cancellable, (process, result) => {
            this._finished(process, result).catch(e => this._fail(e.message));
        });
    }

    get resizePolicy() {
        return ResizePolicy.CUSTOM;
    }

    get customSize() {
        return this._size;
    }

    // The child's process id while it runs.
    get childIdentifier() {
        return this._process ? this._process.get_identifier() : null;
    }

    stop() {
        this._stop();
    }

    cleanup() {
        this._removeSnapshot();
    }

    _stop() {
        if (this._process) {
            this._process.send_signal(15);  // SIGTERM: it stops its converter and exits
            this._process = null;
        }
        this._removeSnapshot();
    }

    _removeSnapshot() {
        if (!this._snapshot)
            return;
        try {
            this._snapshot.delete(null);
        } catch (e) {
            // already gone
        }
        this._snapshot = null;
    }

    _fail(message) {
        this._removeSnapshot();
        if (!this.cancellable.is_cancelled())
            this.emit('error', failure(message));
    }

    async _finished(process, result) {
        let stdout, stderr;
        try {
            [, stdout, stderr] = process.communicate_utf8_finish(result);
        } catch (e) {
            if (!e.matches(Gio.IOErrorEnum, Gio.IOErrorEnum.CANCELLED))
                this._fail(e.message);
            return;
        }
        this._process = null;
        const lines = (stdout || '').trim().split('\n').filter(line => line.length > 0);
        if (!process.get_successful() || lines.length === 0) {
            const reasons = (stderr || '').trim().split('\n').filter(line => line.length > 0);
            this._fail(reasons.length > 0 ? reasons[reasons.length - 1]
                : `vorrel-quicklook exited with status ${process.get_exit_status()}`);
            return;
        }
        const outcome = JSON.parse(lines[lines.length - 1]);
        if (Array.isArray(outcome.contentSize))
            this._size = outcome.contentSize.map(value => Math.max(1, Math.round(value)));
        // The picture is read into memory; its file goes at once.
        const texture = Gdk.Texture.new_from_file(this._snapshot);
        this._removeSnapshot();
        const lib = outcome.format === 'PDF' ? await papers() : null;
        if (this.cancellable.is_cancelled())
            return;
        let shown = null;
        if (lib) {
            try {
                lib.document.init();
                const document = lib.document.Document.factory_get_document_for_gfile(
                    Gio.File.new_for_path(outcome.output), lib.document.DocumentLoadFlags.NONE, this.cancellable);
                const view = lib.view.View.new();
                view.set_model(lib.view.DocumentModel.new_with_document(document));
                shown = new Gtk.ScrolledWindow({child: view, hexpand: true, vexpand: true});
            } catch (e) {
                console.warn(`vorrel: showing the rendered picture, not the PDF: ${e.message}`);
            }
        }
        this.append(shown || new Gtk.Picture({paintable: texture, hexpand: true, vexpand: true,
            content_fit: Gtk.ContentFit.CONTAIN}));
        this.markReady();
    }
}
