// The page's side of the worker: one request at a time, each answered by a
// promise; stages are reported as they start.
export class ConverterClient {
  constructor(url) {
    this.worker = new Worker(url, {type: 'module'});
    this.pending = new Map();
    this.next = 1;
    this.worker.onmessage = ({data}) => {
      const request = this.pending.get(data.id);
      if (!request) return;
      if (data.type === 'stage') {
        request.onStage(data.stage);
        return;
      }
      this.pending.delete(data.id);
      if (data.type === 'done') request.resolve(data.result);
      else request.reject(new Error(data.message));
    };
    this.worker.onerror = (event) => {
      for (const request of this.pending.values()) request.reject(new Error(event.message || 'the worker failed'));
      this.pending.clear();
    };
  }

  request(message, onStage = () => {}, transfer = []) {
    const id = this.next++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, onStage});
      this.worker.postMessage({...message, id}, transfer);
    });
  }
}
