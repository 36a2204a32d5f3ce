// Loads Sushi 51 plug-ins the way Sushi does, against the stand-in API, and checks Vorrel's:
//   gjs -m harness.js API.gresource PLUGIN_FOLDER
// It writes its own files into $TMPDIR. Exit status 0 when every check holds, 1 otherwise.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Gtk from 'gi://Gtk?version=4.0';
import System from 'system';

const [resourcePath, pluginFolder] = System.programArgs;
Gio.Resource.load(resourcePath)._register();
Gtk.init();

let failures = 0;
function check(condition, what) {
    print(`${condition ? 'ok' : 'FAILED'}: ${what}`);
    if (!condition)
        failures++;
}

// Sushi's loading rules: every *.js directly in the folder; modules without contentTypes or
// supportsContentType are dropped; an exact content type maps to the last folder's Klass.
const renderers = new Map();
let api;

const folder = GLib.getenv('TMPDIR');
function write(name, text) {
    const path = GLib.build_filenamev([folder, name]);
    GLib.file_set_contents(path, text);
    return Gio.File.new_for_path(path);
}

// Waits, with the main loop running, until the condition holds or the time is up.
function wait(condition, seconds) {
    const end = GLib.get_monotonic_time() + seconds * 1000000;
    return new Promise(resolve => {
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, 50, () => {
            if (!condition() && GLib.get_monotonic_time() < end)
                return GLib.SOURCE_CONTINUE;
            resolve(condition());
            return GLib.SOURCE_REMOVE;
        });
    });
}

// Builds the renderer Sushi would pick for the file in a window, and waits for its outcome.
// The preview's size for content of `size` points: that, with at most the PDF view's page
// margins around it.
function fits(size, [width, height]) {
    return Array.isArray(size) && size[0] >= width && size[0] <= width + 16 &&
        size[1] >= height && size[1] <= height + 16;
}

// `type` stands in for the file's content type where GIO's own would be another.
async function open(file, seconds = 120, type = null) {
    const info = file.query_info('standard::content-type,standard::display-name,standard::size', 0, null);
    const Klass = renderers.get(type || info.get_content_type());
    if (!Klass)
        return {type: info.get_content_type(), outcome: 'not served'};
    const renderer = new Klass(file, info);
    const result = {type: info.get_content_type(), renderer, outcome: null};
    renderer.connect('ready', () => (result.outcome = 'ready'));
    renderer.connect('error', (r, error) => {
        result.outcome = 'error';
        result.message = error.message;
    });
    const window = new Gtk.Window({child: renderer});
    window.present();
    result.window = window;
    if (seconds > 0)
        await wait(() => result.outcome !== null, seconds);
    return result;
}

async function main() {
    // The same spelling as the plug-ins use: another one would load the module twice.
    api = await import('resource://org/gnome/NautilusPreviewer/plugin-api-1.js');
    const enumerator = Gio.File.new_for_path(pluginFolder).enumerate_children('standard::name', 0, null);
    for (let info; (info = enumerator.next_file(null));) {
        if (!info.get_name().endsWith('.js'))
            continue;
        const module = await import(`file://${pluginFolder}/${info.get_name()}`);
        if (!module.Klass || !(module.contentTypes || module.supportsContentType))
            continue;
        for (const type of module.contentTypes || [])
            renderers.set(type, module.Klass);
    }

    for (const type of ['image/x-eps', 'application/postscript', 'application/x-gzpostscript',
        'application/x-bzpostscript', 'image/x-gzeps', 'image/x-bzeps'])
        check(renderers.has(type), `the plug-in lists ${type}`);

    const drawing = await open(write('drawing.eps',
        '%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 300 200\n%%EndComments\n' +
        '0 setgray 20 20 260 160 rectfill\nshowpage\n%%EOF\n'));
    check(drawing.outcome === 'ready', `a drawing (${drawing.type}) becomes ready: ${drawing.outcome} ${drawing.message || ''}`);
    check(drawing.renderer.resizePolicy === api.ResizePolicy.CUSTOM, 'its size is its own (CUSTOM)');
    check(fits(drawing.renderer.customSize, [300, 200]),
        `its size is the drawing's bounding box: ${JSON.stringify(drawing.renderer.customSize)}`);
    drawing.window.destroy();

    const document = await open(write('document.ps',
        '%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n<< /PageSize [400 500] >> setpagedevice\n' +
        '%%Page: 1 1\n0 setgray 50 50 100 100 rectfill showpage\n%%Page: 2 2\n100 100 100 100 rectfill showpage\n%%EOF\n'));
    check(document.outcome === 'ready', `a document (${document.type}) becomes ready: ${document.outcome} ${document.message || ''}`);
    check(fits(document.renderer.customSize, [400, 500]),
        `its size is its first page's: ${JSON.stringify(document.renderer.customSize)}`);
    document.window.destroy();

    // GIO calls an empty file application/x-zerosize, whatever its name: Sushi would not pick
    // the plug-in. Built for it all the same, the plug-in must say what went wrong.
    const empty = await open(write('empty.eps', ''), 120, 'image/x-eps');
    check(empty.outcome === 'error', `an empty file reports an error: ${empty.outcome}`);
    check(!!empty.message && !empty.message.startsWith('vorrel-quicklook exited'),
        `with Vorrel's own message: “${empty.message}”`);
    empty.window.destroy();

    // A drawing that keeps the converter busy; closing the previewer ends its child.
    const slow = await open(write('slow.eps',
        '%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n%%EndComments\n' +
        '0 1 100000000 { pop } for 0 0 100 100 rectfill\nshowpage\n%%EOF\n'), 0);
    const pid = slow.renderer.childIdentifier;
    check(pid !== null, 'the slow drawing has a child running');
    await wait(() => false, 1);
    slow.window.destroy();
    check(await wait(() => !GLib.file_test(`/proc/${pid}`, GLib.FileTest.EXISTS), 10), `its child ${pid} is gone after the window closed`);
    check(slow.outcome === null, `and it reported nothing: ${slow.outcome}`);

    const left = [];
    const files = Gio.File.new_for_path(folder).enumerate_children('standard::name', 0, null);
    for (let info; (info = files.next_file(null));)
        if (info.get_name().startsWith('vorrel-'))
            left.push(info.get_name());
    check(left.length === 0, `no picture of the plug-in's is left behind: ${left.join(' ')}`);

    print(failures === 0 ? 'all checks passed' : `${failures} checks failed`);
    return failures === 0 ? 0 : 1;
}

// No await at the top: promise jobs run while this loop does.
const loop = new GLib.MainLoop(null, false);
let status = 1;
main().then(result => (status = result), error => logError(error)).finally(() => loop.quit());
loop.run();
System.exit(status);
