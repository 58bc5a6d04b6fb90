// Opened from disk (file://), a browser runs none of the page's modules and
// no worker: say so, instead of "Loading the converter…" for ever.
if (location.protocol === 'file:') {
  document.addEventListener('DOMContentLoaded', () => {
    document.getElementById('progress').textContent =
      'This page must come from a web server, not from a file on disk: browsers don\'t run its converter ' +
      'from a file:// address. Serve the folder (scripts/serve-web does, on http://127.0.0.1:8000/) ' +
      'and open it from there.';
    document.body.dataset.fromDisk = 'true';
  });
}
