// The host calls of the web backend (platform_web.cpp). The host, given to
// createTavelo as Module.host by the page or by the node runner, does the
// work; these calls only carry bytes and strings across. A host answers a
// count, handle or kind when it succeeds and the error's name when it fails
// ('ENOENT', as node and the C library name it), which goes on as minus
// its errno value; only read may answer with a promise, for which the
// program waits.
mergeInto(LibraryManager.library, {
  $taveloAnswer__deps: ['$ERRNO_CODES'],
  $taveloAnswer: function (answer) {
    return typeof answer === 'string' ? -(ERRNO_CODES[answer] || ERRNO_CODES.EIO) : answer;
  },

  tavelo_host_file_kind__deps: ['$taveloAnswer'],
  tavelo_host_file_kind: function (handle) {
    return taveloAnswer(Module['host'].fileKind(handle));
  },

  // The host is asked inside handleSleep alone: a call that waited runs
  // again when the program resumes, and must not read again then.
  tavelo_host_read__deps: ['$Asyncify', '$taveloAnswer'],
  tavelo_host_read: function (handle, buffer, size) {
    const take = function (answer) {
      if (!(answer instanceof Uint8Array)) return taveloAnswer(answer);
      HEAPU8.set(answer, buffer);
      return answer.length;
    };
    return Asyncify.handleSleep(function (wakeUp) {
      const answer = Module['host'].read(handle, size);
      if (!(answer instanceof Promise)) return wakeUp(take(answer));
      answer.then(function (bytes) {
        // The program's end, which unwinds it, is no error.
        try {
          wakeUp(take(bytes));
        } catch (error) {
          if (error !== 'unwind') throw error;
        }
      });
    });
  },

  tavelo_host_write__deps: ['$taveloAnswer'],
  tavelo_host_write: function (handle, buffer, size) {
    return taveloAnswer(Module['host'].write(handle, HEAPU8.slice(buffer, buffer + size)));
  },

  tavelo_host_exists: function (name) {
    return Module['host'].exists(UTF8ToString(name)) ? 1 : 0;
  },

  tavelo_host_open__deps: ['$taveloAnswer'],
  tavelo_host_open: function (name, access, createNew, nonblocking) {
    return taveloAnswer(
      Module['host'].open(UTF8ToString(name), access, createNew !== 0, nonblocking !== 0));
  },

  // What a file is goes out as a FileInfo: its kind, its permission bits,
  // whether it is empty.
  $taveloInfo__deps: ['$taveloAnswer'],
  $taveloInfo: function (answer, info) {
    if (typeof answer === 'string') return taveloAnswer(answer);
    const kind = ['file', 'directory', 'fifo'].indexOf(answer.kind);
    HEAP32.set([kind < 0 ? 3 : kind, answer.mode, answer.empty ? 1 : 0], info >> 2);
    return 0;
  },

  tavelo_host_stat__deps: ['$taveloInfo'],
  tavelo_host_stat: function (name, info) {
    return taveloInfo(Module['host'].stat(UTF8ToString(name)), info);
  },

  tavelo_host_fstat__deps: ['$taveloInfo'],
  tavelo_host_fstat: function (handle, info) {
    return taveloInfo(Module['host'].fstat(handle), info);
  },

  tavelo_host_access__deps: ['$taveloAnswer'],
  tavelo_host_access: function (name, mode) {
    return taveloAnswer(Module['host'].access(UTF8ToString(name), mode));
  },

  tavelo_host_lock__deps: ['$taveloAnswer'],
  tavelo_host_lock: function (handle, exclusive) {
    return taveloAnswer(Module['host'].lock(handle, exclusive !== 0));
  },

  tavelo_host_truncate__deps: ['$taveloAnswer'],
  tavelo_host_truncate: function (handle, offset) {
    return taveloAnswer(Module['host'].truncate(handle, offset));
  },

  tavelo_host_close__deps: ['$taveloAnswer'],
  tavelo_host_close: function (handle) {
    return taveloAnswer(Module['host'].close(handle));
  },

  tavelo_host_real_path__deps: ['$taveloAnswer', '$taveloPutString'],
  tavelo_host_real_path: function (name, buffer, capacity) {
    const answer = Module['host'].realPath(UTF8ToString(name));
    return typeof answer === 'string' ? taveloAnswer(answer) : taveloPutString(answer.path, buffer, capacity);
  },

  tavelo_host_chmod__deps: ['$taveloAnswer'],
  tavelo_host_chmod: function (handle, mode) {
    return taveloAnswer(Module['host'].chmod(handle, mode));
  },

  tavelo_host_rename__deps: ['$taveloAnswer'],
  tavelo_host_rename: function (from, to) {
    return taveloAnswer(Module['host'].rename(UTF8ToString(from), UTF8ToString(to)));
  },

  tavelo_host_remove__deps: ['$taveloAnswer'],
  tavelo_host_remove: function (name) {
    return taveloAnswer(Module['host'].remove(UTF8ToString(name)));
  },

  // Strings go out as their bytes, the NUL after them when it fits.
  $taveloPutString: function (text, buffer, capacity) {
    const bytes = new TextEncoder().encode(text);
    if (bytes.length + 1 > capacity) return bytes.length + 1;
    HEAPU8.set(bytes, buffer);
    HEAPU8[buffer + bytes.length] = 0;
    return bytes.length;
  },

  tavelo_host_getenv__deps: ['$taveloPutString'],
  tavelo_host_getenv: function (name, buffer, capacity) {
    const value = Module['host'].getenv(UTF8ToString(name));
    return value ? taveloPutString(value, buffer, capacity) : 0;
  },

  tavelo_host_environment_size: function () {
    return new TextEncoder().encode(Module['host'].environment()).length;
  },

  tavelo_host_environment: function (buffer) {
    HEAPU8.set(new TextEncoder().encode(Module['host'].environment()), buffer);
  },

  tavelo_host_program_folder__deps: ['$taveloPutString'],
  tavelo_host_program_folder: function (buffer, capacity) {
    return taveloPutString(Module['host'].programFolder(), buffer, capacity);
  },

  tavelo_host_run__deps: ['$taveloAnswer'],
  tavelo_host_run: function (words, count, exitCode) {
    const argv = [];
    for (let at = words; argv.length < count; at += lengthBytesUTF8(argv[argv.length - 1]) + 1) {
      argv.push(UTF8ToString(at));
    }
    const answer = Module['host'].run(argv);
    if (typeof answer === 'string') return taveloAnswer(answer);
    HEAPU32[exitCode >> 2] = answer;
    return 0;
  },

  tavelo_host_exit: function (code) {
    Module['host'].exit(code);
    // The page's host returns: nothing of the program runs after this.
    throw 'unwind';
  },
});
