// The AudioWorkletGlobalScope, which TypeScript 4.8 has no library for: what
// the worklet uses of it.
declare class AudioWorkletProcessor {
  readonly port: MessagePort;
  constructor();
}
declare function registerProcessor(name: string, processor: new (options: any) => AudioWorkletProcessor): void;
declare const sampleRate: number;
interface MessagePort {
  onmessage: ((event: { data: any }) => void) | null;
  postMessage(message: unknown): void;
}
// The part of WebAssembly's interface the engine uses, which TypeScript keeps in its DOM and worker libraries.
declare namespace WebAssembly {
  class Module {
    constructor(bytes: ArrayBuffer | ArrayBufferView);
  }
  class Instance {
    constructor(module: Module, imports: object);
    readonly exports: any;
  }
  function instantiate(bytes: ArrayBuffer | ArrayBufferView, imports: object): Promise<{ instance: Instance, module: Module }>;
  function instantiate(module: Module, imports: object): Promise<Instance>;
}
