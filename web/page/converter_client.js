// The page's side of the workers.  Two workers run side by side, one per
// lane: 'convert' writes the BMF (or inspects a dropped one) while 'scene'
// builds the glTF the view shows, so a model is converted and made ready
// to draw at once on two cores.  Each lane takes one request at a time,
// answered by a promise; stages are reported as they start.
//
// cancel() stops everything in flight: the workers are ended (a conversion
// can't be interrupted inside the module) and spare ones, loaded already,
// take their place; every pending promise is rejected with a Cancelled
// error.  The module is compiled once, on the page, and handed to every
// worker, so a new one is ready in a few milliseconds.
export class Cancelled extends Error {
  constructor() {
    super('cancelled');
    this.name = 'Cancelled';
  }
}

// A worker's module may keep what it grew to: past this, the worker is
// replaced once it is idle, so a large model's memory goes back.
const RECYCLE_HEAP_BYTES = 96 << 20;
const SPARE_DELAY_MS = 2000;

class Lane {
  constructor(url, module, name) {
    this.url = url;
    this.module = module;
    this.name = name;
    this.pending = new Map();
    this.next = 1;
    // A second worker waits, loaded, to take over at once when this one is
    // ended.
    this.spare = this.spawn();
    this.restart();
  }

  spawn() {
    const worker = new Worker(this.url, {type: 'module', name: `torvik ${this.name}`});
    worker.postMessage({kind: 'init', module: this.module});
    return worker;
  }

  // Ends the worker (if any) and puts the spare in its place.  The next
  // spare is started a little later, so that it does not take the cores
  // from the work that follows at once.
  restart() {
    if (this.worker) this.worker.terminate();
    const worker = this.spare || this.spawn();
    this.spare = null;
    clearTimeout(this.spareTimer);
    this.spareTimer = setTimeout(() => {
      if (!this.spare) this.spare = this.spawn();
    }, SPARE_DELAY_MS);
    worker.onmessage = ({data}) => {
      const request = this.pending.get(data.id);
      if (!request) return;
      if (data.type === 'stage') {
        request.onStage(data.stage);
        return;
      }
      this.pending.delete(data.id);
      this.failures = 0;
      if (data.type === 'done') request.resolve(data.result);
      else request.reject(new Error(data.message));
      if (data.heap > RECYCLE_HEAP_BYTES && this.pending.size === 0) this.restart();
    };
    worker.onerror = (event) => {
      event.preventDefault();
      const error = new Error(event.message || 'the converter stopped');
      for (const request of this.pending.values()) request.reject(error);
      this.pending.clear();
      // A worker that can't even start is not started again and again.
      this.failures = (this.failures || 0) + 1;
      if (this.failures <= 3) this.restart();
      else this.broken = error;
    };
    this.worker = worker;
  }

  request(message, onStage, transfer) {
    if (this.broken) return Promise.reject(this.broken);
    const id = this.next++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, onStage});
      this.worker.postMessage({...message, id}, transfer);
    });
  }

  cancel() {
    if (this.pending.size === 0) return;
    const pending = [...this.pending.values()];
    this.pending.clear();
    this.restart();
    for (const request of pending) request.reject(new Cancelled());
  }
}

export class ConverterClient {
  // `wasmUrl`: the module's .wasm; `workerUrl`: worker.js.
  static async create(workerUrl, wasmUrl) {
    const response = await fetch(wasmUrl);
    if (!response.ok) throw new Error(`${wasmUrl.pathname.split('/').pop()}: ${response.status} ${response.statusText}`);
    // A host that serves the .wasm with another type than application/wasm
    // rules out compiling while it downloads, not compiling.
    const module = response.headers.get('Content-Type') === 'application/wasm'
      ? await WebAssembly.compileStreaming(response)
      : await WebAssembly.compile(await response.arrayBuffer());
    return new ConverterClient(workerUrl, module);
  }

  constructor(workerUrl, module) {
    this.lanes = {convert: new Lane(workerUrl, module, 'convert'), scene: new Lane(workerUrl, module, 'scene')};
  }

  // Sends `message` to the lane's worker; `onStage(stage)` hears each stage.
  request(lane, message, {onStage = () => {}, transfer = []} = {}) {
    return this.lanes[lane].request(message, onStage, transfer);
  }

  cancel() {
    for (const lane of Object.values(this.lanes)) lane.cancel();
  }
}
