// The page's system for the program: its files, kept in memory, and a host
// that hands the program's calls to the page's console and viewer. The
// rules (error numbers, how a file is opened) are the program's own; a
// failure here is answered with its error's name.
'use strict';

// Name to contents; they outlive a run, as files on a disk do.
const pageFiles = new Map();

// A host for one run. `console.read(size)` answers a line's bytes or a
// promise of them, `console.write(bytes)` shows bytes; `view(name, bytes)`
// shows the file the program hands its viewer; `end(code)` is told the
// exit code.
function createPageHost({ console, view, end }) {
  const handles = new Map();
  let nextHandle = 3;
  const kDisk = 1;
  const kTerminal = 4;

  function open(name, access, createNew) {
    if (createNew && pageFiles.has(name)) return 'EEXIST';
    if (!createNew && !pageFiles.has(name)) return 'ENOENT';
    if (createNew) pageFiles.set(name, new Uint8Array(0));
    handles.set(nextHandle, { name, position: 0, writable: (access & 2) !== 0 });
    return nextHandle++;
  }

  function writeFile(handle, bytes) {
    const file = handles.get(handle);
    if (!file) return 'EBADF';
    if (!file.writable) return 'EACCES';
    const old = pageFiles.get(file.name);
    const end = file.position + bytes.length;
    const grown = new Uint8Array(Math.max(old.length, end));
    grown.set(old);
    grown.set(bytes, file.position);
    pageFiles.set(file.name, grown);
    file.position = end;
    return bytes.length;
  }

  function truncate(handle, offset) {
    const file = handles.get(handle);
    if (!file) return 'EBADF';
    if (!file.writable) return 'EACCES';
    pageFiles.set(file.name, pageFiles.get(file.name).slice(0, offset));
    file.position = offset;
    return 0;
  }

  const described = (bytes) => ({ kind: 'file', mode: 0o666, empty: bytes.length === 0 });

  return {
    fileKind: (handle) => (handle <= 2 ? kTerminal : handles.has(handle) ? kDisk : 'EBADF'),
    read: (handle, size) => (handle === 0 ? console.read(size) : 'EACCES'),
    write: (handle, bytes) => {
      if (handle > 2) return writeFile(handle, bytes);
      console.write(bytes);
      return bytes.length;
    },
    exists: (name) => pageFiles.has(name),
    stat: (name) => (pageFiles.has(name) ? described(pageFiles.get(name)) : 'ENOENT'),
    fstat: (handle) => (handles.has(handle) ? described(pageFiles.get(handles.get(handle).name))
      : 'EBADF'),
    access: () => 0,
    open,
    // One run at a time: nothing to lock.
    lock: () => 0,
    truncate,
    close: (handle) => (handles.delete(handle) ? 0 : 'EBADF'),
    // The page is a system whose interpreter COMSPEC names, as Windows is.
    getenv: (name) => (name === 'COMSPEC' ? 'cmd.exe' : null),
    environment: () => 'COMSPEC=cmd.exe\0\0',
    programFolder: () => '',
    // The page is the interpreter and its editor: "notepad FILE" shows it.
    run: (argv) => {
      const name = argv[argv.length - 1];
      view(name, pageFiles.get(name) || new Uint8Array(0));
      return 0;
    },
    exit: end,
  };
}
