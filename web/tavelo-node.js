#!/usr/bin/env node
// The web program as a command: tavelo.js, the module the page runs, with
// standard input, output and error, the files of the current directory and
// the programs of this machine as its system. Input from a file or a pipe
// reads as the bytes come; a terminal delivers one typed line per read, as
// a console does.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const tty = require('tty');

const kinds = { unknown: 0, disk: 1, char: 2, pipe: 3, terminal: 4, nullBothWays: 5 };

// A failure is answered with its error's name ('ENOENT'); the program
// turns it into its own error number.
const failure = (error) => error.code || 'EIO';

// A descriptor handed over non-blocking answers "nothing yet"; the call
// waits a little and tries again, as a blocking one would have waited.
const pause = new Int32Array(new SharedArrayBuffer(4));
function waiting(call) {
  for (;;) {
    try {
      return call();
    } catch (error) {
      if (error.code !== 'EAGAIN') throw error;
      Atomics.wait(pause, 0, 0, 2);
    }
  }
}

// The files the program opened: where the next byte goes (null for a
// stream), which node's calls do not move back when a file is cut.
const opened = new Map();

// The null device open for reading and writing: node's stand-in for a
// standard handle the process was started without, or `<>/dev/null`.
function nullBothWays(fd, info) {
  if (!info.isCharacterDevice() || info.rdev !== fs.statSync('/dev/null').rdev) return false;
  try {
    fs.readSync(fd, Buffer.alloc(0), 0, 0, null);
    fs.writeSync(fd, Buffer.alloc(0));
    return true;
  } catch {
    return false;
  }
}

function fileKind(fd) {
  try {
    const info = fs.fstatSync(fd);
    if (nullBothWays(fd, info)) return kinds.nullBothWays;
    if (info.isCharacterDevice()) return tty.isatty(fd) ? kinds.terminal : kinds.char;
    if (info.isFIFO() || info.isSocket()) return kinds.pipe;
    return kinds.disk;
  } catch (error) {
    return failure(error);
  }
}

function read(fd, size) {
  const buffer = Buffer.alloc(size);
  try {
    return buffer.subarray(0, waiting(() => fs.readSync(fd, buffer, 0, size, null)));
  } catch (error) {
    return failure(error);
  }
}

function write(fd, bytes) {
  const file = opened.get(fd);
  let done = 0;
  try {
    while (done < bytes.length) {
      const at = file && file.position !== null ? file.position + done : null;
      done += waiting(() => fs.writeSync(fd, bytes, done, bytes.length - done, at));
    }
  } catch (error) {
    return failure(error);
  }
  if (file && file.position !== null) file.position += done;
  return done;
}

function exists(name) {
  try {
    fs.lstatSync(name);
    return true;
  } catch {
    return false;
  }
}

// A call that answers nothing but whether it failed.
function attempt(call) {
  try {
    call();
    return 0;
  } catch (error) {
    return failure(error);
  }
}

// The plain calls the program's rules of opening a file make.
const described = (info) => ({
  kind: info.isFile() ? 'file' : info.isDirectory() ? 'directory' : info.isFIFO() ? 'fifo' : 'other',
  mode: info.mode & 0o7777,
  empty: info.size === 0,
});

function stat(name) {
  try {
    return described(fs.statSync(name));
  } catch (error) {
    return failure(error);
  }
}

function fstat(fd) {
  try {
    return described(fs.fstatSync(fd));
  } catch (error) {
    return failure(error);
  }
}

function open(name, access, createNew, nonblocking) {
  const c = fs.constants;
  const writable = (access & 2) !== 0;
  let flags = !writable ? c.O_RDONLY : (access & 1) !== 0 ? c.O_RDWR : c.O_WRONLY;
  if (createNew) flags |= c.O_CREAT | c.O_EXCL;
  try {
    const fd = fs.openSync(name, flags | (nonblocking ? c.O_NONBLOCK : 0), 0o666);
    opened.set(fd, { position: nonblocking ? null : 0 });
    return fd;
  } catch (error) {
    return failure(error);
  }
}

function truncate(fd, offset) {
  const file = opened.get(fd);
  const answer = attempt(() => fs.ftruncateSync(fd, offset));
  if (answer === 0 && file && file.position !== null) file.position = offset;
  return answer;
}

function close(fd) {
  opened.delete(fd);
  return attempt(() => fs.closeSync(fd));
}

function realPath(name) {
  try {
    return { path: fs.realpathSync(name) };
  } catch (error) {
    return failure(error);
  }
}

function environment() {
  return Object.entries(process.env).map(([name, value]) => `${name}=${value}\0`).join('') + '\0';
}

// The wait leaves a console interrupt to the program it runs.
function run(argv) {
  const ignore = () => {};
  process.on('SIGINT', ignore).on('SIGQUIT', ignore);
  const ended = childProcess.spawnSync(argv[0], argv.slice(1), { stdio: 'inherit' });
  process.off('SIGINT', ignore).off('SIGQUIT', ignore);
  if (ended.error) return failure(ended.error);
  return ended.status !== null ? ended.status : 128 + os.constants.signals[ended.signal];
}

const host = {
  fileKind, read, write, exists, stat, fstat, open, truncate, close, realPath, environment, run,
  access: (name, mode) => attempt(() => fs.accessSync(name, mode)),
  // Node takes no file locks and sees none.
  lock: () => 'ENOLCK',
  chmod: (fd, mode) => attempt(() => fs.fchmodSync(fd, mode)),
  rename: (from, to) => attempt(() => fs.renameSync(from, to)),
  remove: (name) => attempt(() => fs.unlinkSync(name)),
  programFolder: () => __dirname + path.sep,
  getenv: (name) => process.env[name],
  exit: (code) => process.exit(code),
};

// The built runner holds the module, tavelo.js, here: one file that runs
// wherever it is copied.
/* @TAVELO_MODULE@ */
createTavelo({ host });
