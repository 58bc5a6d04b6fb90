// A static file server for the built page on 127.0.0.1, sending the page's
// security headers with every answer (SECURITY_HEADERS: what any static host
// must send), its own error answers included.  The policy travels with the
// worker's own script, which is the only way it reaches the worker that
// holds the files: a policy in the page's <meta> tag covers the page alone.
//
//   node web/server.mjs [--root build/web] [--port 8000]    (scripts/serve-web)
//
// It serves files under the root and nothing else: GET and HEAD only (405
// with Allow otherwise), a path that does not decode is 400, a folder 403,
// and a symbolic link is followed only while it stays inside the root.  A request it can't
// parse gets a 400 (431 for headers too large) with the same headers, and the
// server goes on serving.  The browser tests use serve(), which logs every
// path asked for.
import {createServer, STATUS_CODES} from 'node:http';
import {readFile, realpath} from 'node:fs/promises';
import path from 'node:path';
import {parseArgs} from 'node:util';

export const CONTENT_SECURITY_POLICY = [
  "default-src 'none'", "script-src 'self' 'wasm-unsafe-eval'", "style-src 'self'",
  "img-src 'self' blob: data:", "connect-src 'self' blob: data:", "worker-src 'self'",
  "base-uri 'none'", "form-action 'none'", "frame-ancestors 'none'",
].join('; ');

export const SECURITY_HEADERS = {
  'Content-Security-Policy': CONTENT_SECURITY_POLICY,
  'X-Content-Type-Options': 'nosniff',
  'Referrer-Policy': 'no-referrer',
};

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
};

const ALLOWED_METHODS = 'GET, HEAD';

// The file a request's path names under `realRoot` (the root with its links
// resolved), or the status that refuses it: 400 for a path that does not
// decode or holds a NUL, 403 for one that leads outside the root, by `..` or
// through a symbolic link, 404 for one that is not there.
async function fileOf(requestPath, realRoot) {
  let relative;
  try {
    relative = decodeURIComponent(requestPath).replace(/^\/+/, '') || 'index.html';
  } catch {
    return {status: 400};
  }
  if (relative.includes('\0')) return {status: 400};
  const inside = (file) => file.startsWith(realRoot + path.sep);
  const asked = path.resolve(realRoot, relative);
  if (!inside(asked)) return {status: 403};
  try {
    const file = await realpath(asked);
    return inside(file) ? {file} : {status: 403};
  } catch {
    return {status: 404};
  }
}

// The raw answer to a request Node could not parse, with the headers.
function rawAnswer(status, headers) {
  const lines = [`HTTP/1.1 ${status} ${STATUS_CODES[status]}`, 'Connection: close', 'Content-Length: 0',
                 ...Object.entries(headers).map(([name, value]) => `${name}: ${value}`)];
  return lines.join('\r\n') + '\r\n\r\n';
}

// Serves `root`; {headers: false} leaves the security headers out (a host
// that sends none).  Returns {origin, requests, close}.
export async function serve(root, {port = 0, headers = true} = {}) {
  const requests = [];
  const extra = headers ? SECURITY_HEADERS : {};
  const realRoot = await realpath(root);
  const answer = (response, status, more = {}) => response.writeHead(status, {...extra, ...more}).end();
  const server = createServer(async (request, response) => {
    try {
      const url = new URL(request.url, 'http://localhost');
      requests.push(url.pathname);
      if (request.method !== 'GET' && request.method !== 'HEAD') {
        answer(response, 405, {Allow: ALLOWED_METHODS});
        return;
      }
      const {file, status} = await fileOf(url.pathname, realRoot);
      if (!file) {
        answer(response, status);
        return;
      }
      // A folder is there but not served (403, as most servers answer
      // without a listing).
      const body = await readFile(file).catch((error) => (error.code === 'EISDIR' ? 403 : 404));
      if (typeof body === 'number') {
        answer(response, body);
        return;
      }
      response.writeHead(200, {...extra, 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
      response.end(body);
    } catch {
      if (!response.headersSent) answer(response, 400);
      else response.destroy();
    }
  });
  // Node's own answers to requests it can't parse carry no headers of ours.
  server.on('clientError', (error, socket) => {
    if (!socket.writable || error.code === 'ECONNRESET') {
      socket.destroy();
      return;
    }
    const status = error.code === 'HPE_HEADER_OVERFLOW' ? 431
        : error.code === 'ERR_HTTP_REQUEST_TIMEOUT' ? 408 : 400;
    socket.end(rawAnswer(status, extra));
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', resolve);
  });
  return {origin: `http://127.0.0.1:${server.address().port}`, requests,
          close: () => new Promise((resolve) => server.close(resolve))};
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const {values} = parseArgs({options: {root: {type: 'string', default: 'build/web'},
                                        port: {type: 'string', default: '8000'}}});
  const {origin} = await serve(values.root, {port: Number(values.port)});
  console.log(`Serving ${values.root} on ${origin}/ (only this machine can reach it; Ctrl-C stops)`);
}
