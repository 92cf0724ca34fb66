  // Shared by both forms of a published page. The page shows one of three things, by the class of
  // <html>: "playing", the movie over the whole window with a Pause button, the texts out of sight
  // but in the accessibility tree; "still", the texts with a button that plays the movie, for a
  // visitor who asks for reduced motion; none, the texts alone, where the movie cannot play.
  var page = (function () {
    "use strict";
    var root = document.documentElement;
    var fromDisk = false;
    var started = false;

    function canPlay() {
      return typeof WebAssembly === "object" && typeof DecompressionStream === "function" &&
        typeof fetch === "function";
    }

    // Called from <head>, so that the page is drawn in its final state at once.
    function prepare(options) {
      fromDisk = !!options.fromDisk;
      if (!canPlay() || fromDisk)
        return;
      var still = window.matchMedia && matchMedia("(prefers-reduced-motion: reduce)").matches;
      root.className = still ? "still" : "playing";
    }

    // --- The player's code, unpacked by the page itself ------------------------------------

    var digitValues = null;

    // Base 85 as the program writes it: five digits for four bytes, n + 1 for a last n.
    function embeddedBytes(id) {
      var digits = "!#%()*+,-./0123456789:;=?ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_" +
        "abcdefghijklmnopqrstuvwxyz{|}~";
      if (!digitValues) {
        digitValues = new Uint8Array(128);
        for (var d = 0; d < digits.length; ++d)
          digitValues[digits.charCodeAt(d)] = d;
      }
      var text = document.getElementById(id).textContent.trim();
      var size = Math.floor(text.length / 5) * 4 + Math.max(0, text.length % 5 - 1);
      var bytes = new Uint8Array(size);
      for (var at = 0, out = 0; at < text.length; at += 5, out += 4) {
        var value = 0;
        for (var i = at; i < at + 5; ++i)
          value = value * 85 + (i < text.length ? digitValues[text.charCodeAt(i)] : 84);
        value = value >>> 0;
        for (var b = 0; b < 4 && out + b < size; ++b)
          bytes[out + b] = value >>> (24 - 8 * b) & 255;
      }
      return bytes;
    }

    // The body of a file the build gzipped, unpacked unless the host already did it on the way.
    function unpacked(response) {
      if (/gzip/i.test(response.headers.get("Content-Encoding") || ""))
        return response.body;
      return response.body.pipeThrough(new DecompressionStream("gzip"));
    }

    // Where the packed files come from: the folder beside the page, or this page itself.
    function packedSource(options) {
      var systemFetch = window.fetch.bind(window);
      return function (name) {
        if (options.embedded) {
          var id = options.embedded[name === options.files.wasm ? "wasm" :
            name === options.files.chunk ? "chunk" : "loader"];
          return Promise.resolve(new Response(embeddedBytes(id)));
        }
        return systemFetch(options.folder + name + ".gz").then(function (response) {
          if (!response.ok)
            throw new Error("the player's file " + name + " could not be fetched");
          return response;
        });
      };
    }

    // Runs the player's own scripts, which the page's policy allows by their hashes.
    function runScript(packed, name) {
      return packed(name).then(function (response) {
        return new Response(unpacked(response)).text();
      }).then(function (code) {
        var script = document.createElement("script");
        script.textContent = code;
        document.head.appendChild(script);
      });
    }

    // The player fetches its wasm by name: the packed file answers, unpacked as it streams in.
    function answerWasm(packed, options) {
      var systemFetch = window.fetch.bind(window);
      window.fetch = function (input, init) {
        var url = typeof input === "string" ? input : (input && input.url) || String(input);
        var name = url.split(/[?#]/)[0].split("/").pop();
        var ours = options.embedded ? name === options.files.wasm : /\.wasm$/.test(name);
        if (!ours)
          return systemFetch(input, init);
        return packed(name).then(function (response) {
          return new Response(unpacked(response),
            { headers: { "Content-Type": "application/wasm" } });
        });
      };
    }

    function loadPlayer(options) {
      window.RufflePlayer = window.RufflePlayer || {};
      window.RufflePlayer.config = { polyfills: false, publicPath: options.folder || "./" };
      var packed = packedSource(options);
      answerWasm(packed, options);
      return runScript(packed, options.files.chunk).then(function () {
        return runScript(packed, options.files.loader);
      });
    }

    // --- What the visitor sees ---------------------------------------------------------------

    function showTexts() {
      root.className = "";
      document.getElementById("movie").textContent = "";
      var motion = document.getElementById("motion");
      if (motion)
        motion.remove();
    }

    function button(id, label) {
      var element = document.createElement("button");
      element.type = "button";
      element.id = id;
      element.textContent = label;
      return element;
    }

    // A looping movie that starts by itself can be stopped: a small button, first in the
    // keyboard's order, named by what it does next.
    function addMotionButton(player) {
      var motion = button("motion", "Pause");
      motion.addEventListener("click", function () {
        var api = player.ruffle();
        if (api.suspended) {
          api.resume();
        } else {
          api.suspend();
          // The player's own large play button would cover the movie; this one stays in charge.
          var own = player.shadowRoot && player.shadowRoot.getElementById("play-button");
          if (own)
            own.style.display = "none";
        }
        motion.textContent = api.suspended ? "Play" : "Pause";
      });
      document.body.insertBefore(motion, document.body.firstChild);
      return motion;
    }

    var settings = {
      autoplay: "on",
      splashScreen: false,
      unmuteOverlay: "hidden",
      scale: "showAll",
      letterbox: "on",
      quality: "high",
      // Links open as the movie's author meant (the page's policy keeps javascript: from running);
      // the movie gets no way into the page's scripts.
      openUrlMode: "allow",
      allowScriptAccess: false,
      upgradeToHttps: false,
      warnOnUnsupportedContent: false,
      showSwfDownload: false,
      favorFlash: false,
      allowFullscreen: true,
      logLevel: "error"
    };

    // Plays the movie over the whole window at its own aspect ratio, with nothing of the player
    // in the way; shows the texts instead when the movie cannot be played here.
    function play(options) {
      started = true;
      root.className = "playing";
      return loadPlayer(options).then(function () {
        var ruffle = window.RufflePlayer && typeof window.RufflePlayer.newest === "function" ?
          window.RufflePlayer.newest() : null;
        if (!ruffle)
          throw new Error("the player did not start");
        var player = ruffle.createPlayer();
        document.getElementById("movie").appendChild(player);
        // The player's own error screen speaks of bug reports; a visitor reads the texts instead.
        if (player.shadowRoot) {
          var watch = new MutationObserver(function () {
            if (player.shadowRoot.querySelector("#panic")) {
              watch.disconnect();
              showTexts();
            }
          });
          watch.observe(player.shadowRoot, { childList: true, subtree: true });
        }
        var motion = addMotionButton(player);
        if (options.focus)
          motion.focus();
        return player.ruffle().load(Object.assign({}, settings, options.movie));
      }).catch(showTexts);
    }

    // The texts first, and the movie when the visitor asks for it.
    function offerMovie(options) {
      var offer = button("play-movie", "Play the movie");
      offer.addEventListener("click", function () {
        offer.remove();
        play(Object.assign({ focus: true }, options));
      });
      var texts = document.getElementById("texts");
      texts.insertBefore(offer, texts.firstChild);
    }

    function sayPlaysFromServer() {
      var notice = document.createElement("p");
      notice.id = "notice";
      notice.textContent = "This movie plays from a web server. " +
        "To watch it from a disk, publish it as \u201COne page\u201D.";
      document.body.insertBefore(notice, document.body.firstChild);
    }

    function run(options) {
      if (started)
        return;
      if (root.className === "playing")
        play(options);
      else if (root.className === "still")
        offerMovie(options);
      else if (fromDisk && canPlay())
        sayPlaysFromServer();
    }

    return { prepare: prepare, run: run, embeddedBytes: embeddedBytes };
  })();
