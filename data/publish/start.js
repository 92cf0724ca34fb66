  // Plays the movie over the whole window at its own aspect ratio, at once, with nothing of the
  // player in the way; shows the texts instead when the movie cannot be played here.
  function start(movie) {
    "use strict";
    var stage = document.getElementById("movie");
    function showTexts() {
      document.documentElement.className = "";
      stage.textContent = "";
    }
    var ruffle = document.documentElement.className === "playing" && window.RufflePlayer &&
      typeof window.RufflePlayer.newest === "function" ? window.RufflePlayer.newest() : null;
    if (!ruffle) {
      showTexts();
      return;
    }
    var player = ruffle.createPlayer();
    stage.appendChild(player);
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
    Promise.resolve()
      .then(function () { return player.ruffle().load(Object.assign({}, settings, movie)); })
      .catch(showTexts);
  }
